// The one instance of each shared record.
#include "app/shared.h"

LinkReadingsRecord LinkReadings;
GaugeSettingsRecord GaugeSettings;
