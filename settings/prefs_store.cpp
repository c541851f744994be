// The preferences store: the forgiving reader of hand-edited files, lookups, and the one
// written form. Bytes are taken as they come: NUL and bytes above 0x7F are ordinary
// characters of a name or value.
#include "settings/prefs_store.h"

#include "settings/settings_file.h"

#include <cstring>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// One line without its line end; blank, comment, header or key.
void TakeLine(PrefsStore& store, const char* line, size_t length)
{
    size_t at = 0;
    while (at < length && IsBlank(line[at]))
        ++at;
    if (at == length || line[at] == ';')
        return;
    if (line[at] == '[') {
        const char* name = line + at + 1;
        const size_t rest = length - at - 1;
        const void* close = std::memchr(name, ']', rest);
        const size_t nameLength = close ? static_cast<size_t>(static_cast<const char*>(close) - name) : rest;
        store.groups.push_back(PrefsGroup{std::string(name, nameLength), {}});
        return;
    }
    // Keys before the first header belong to no group and are never read.
    if (store.groups.empty())
        return;
    const char* text = line + at;
    const size_t textLength = length - at;
    const void* equals = std::memchr(text, '=', textLength);
    size_t nameLength = equals ? static_cast<size_t>(static_cast<const char*>(equals) - text) : textLength;
    while (nameLength > 0 && IsBlank(text[nameLength - 1]))
        --nameLength;
    PrefsKey key{std::string(text, nameLength), std::string()};
    if (equals) {
        size_t valueAt = static_cast<size_t>(static_cast<const char*>(equals) - text) + 1;
        while (valueAt < textLength && IsBlank(text[valueAt]))
            ++valueAt;
        key.value.assign(text + valueAt, textLength - valueAt);
    }
    store.groups.back().keys.push_back(std::move(key));
}

void AppendLine(std::string& out, const std::string& text)
{
    out += text;
    out += "\r\n";
}

} // namespace

bool PrefsNamesMatch(const std::string& a, const char* b)
{
    const size_t length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

int32_t PrefsNumberFromText(const std::string& text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\v' || text[at] == '\f'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // Gathered as a magnitude in 64 bits and clamped once it passes the 32-bit range, so a
    // long run of digits can never overflow.
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t magnitude = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > limit)
            magnitude = limit;
        ++at;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

void PrefsParse(PrefsStore& store, const char* bytes, size_t size)
{
    store = PrefsStore();
    size_t at = 0;
    if (size >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF && static_cast<unsigned char>(bytes[1]) == 0xBB &&
        static_cast<unsigned char>(bytes[2]) == 0xBF)
        at = 3;
    while (at < size) {
        while (at < size && IsLineEnd(bytes[at]))
            ++at;
        const size_t start = at;
        while (at < size && !IsLineEnd(bytes[at]))
            ++at;
        if (at > start)
            TakeLine(store, bytes + start, at - start);
    }
}

void PrefsOpenForReading(PrefsStore& store, const char* fileName)
{
    std::string bytes;
    SettingsFileRead(fileName, bytes);
    PrefsParse(store, bytes.data(), bytes.size());
}

void PrefsSelectGroup(PrefsStore& store, const char* groupName)
{
    store.selected = -1;
    store.pendingGroup = groupName;
    for (size_t i = 0; i < store.groups.size(); ++i) {
        if (PrefsNamesMatch(store.groups[i].name, groupName)) {
            store.selected = static_cast<int>(i);
            return;
        }
    }
}

int32_t PrefsReadInt(const PrefsStore& store, const char* keyName, int32_t fallback)
{
    if (store.selected < 0)
        return fallback;
    for (const PrefsKey& key : store.groups[static_cast<size_t>(store.selected)].keys) {
        if (PrefsNamesMatch(key.name, keyName))
            return PrefsNumberFromText(key.value);
    }
    return fallback;
}

void PrefsCreateForWriting(PrefsStore& store, const char* fileName)
{
    store = PrefsStore();
    store.fileName = fileName;
    store.writing = true;
}

void PrefsWriteInt(PrefsStore& store, const char* keyName, int32_t value)
{
    if (store.selected < 0) {
        store.groups.push_back(PrefsGroup{store.pendingGroup, {}});
        store.selected = static_cast<int>(store.groups.size() - 1);
    }
    std::vector<PrefsKey>& keys = store.groups[static_cast<size_t>(store.selected)].keys;
    const std::string text = std::to_string(value);
    for (PrefsKey& key : keys) {
        if (PrefsNamesMatch(key.name, keyName)) {
            key.value = text;
            return;
        }
    }
    keys.push_back(PrefsKey{keyName, text});
}

std::string PrefsFormat(const PrefsStore& store)
{
    std::string out;
    for (const PrefsGroup& group : store.groups) {
        AppendLine(out, "[" + group.name + "]");
        for (const PrefsKey& key : group.keys)
            AppendLine(out, key.name + " = " + key.value);
    }
    return out;
}

bool PrefsClose(PrefsStore& store)
{
    bool ok = true;
    if (store.writing)
        ok = SettingsFileReplace(store.fileName.c_str(), PrefsFormat(store));
    store = PrefsStore();
    return ok;
}
