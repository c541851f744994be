// Programs of this build started by the Windows tests: the gauge in a working folder of the
// test's own, and the data-server emulator with its command pipe. Every child is ended by its
// owner's destructor, so a failed assertion leaves nothing running.
#pragma once

#include <windows.h>

#include <string>

constexpr DWORD ChildDeadlineMs = 30000;

// Under Wine a Unix path is reached through drive Z:.
inline std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path = "Z:" + path;
    }
    return path;
}

struct ChildProcess {
    HANDLE process = nullptr;
    DWORD id = 0;
    HANDLE toChild = nullptr;
    HANDLE fromChild = nullptr;
    std::string pending;

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { Kill(); }

    // withPipes gives the child a stdin and stdout of ours.
    bool Start(const std::string& exe, const std::string& options, const std::string& folder,
               bool withPipes = false)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE childIn = nullptr, childOut = nullptr;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (withPipes) {
            if (!CreatePipe(&childIn, &toChild, &inherit, 0) || !CreatePipe(&fromChild, &childOut, &inherit, 0))
                return false;
            SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
            SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = childIn;
            startup.hStdOutput = childOut;
            startup.hStdError = childOut;
        }
        std::string command = "\"" + WindowsPath(exe) + "\" " + options;
        PROCESS_INFORMATION info = {};
        BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, withPipes,
                                      withPipes ? CREATE_NO_WINDOW : 0,
                                      nullptr,
                                      folder.empty() ? nullptr : folder.c_str(), &startup, &info);
        if (childIn)
            CloseHandle(childIn);
        if (childOut)
            CloseHandle(childOut);
        if (!started)
            return false;
        process = info.hProcess;
        id = info.dwProcessId;
        CloseHandle(info.hThread);
        return true;
    }

    // The next line the child wrote, or "" when none came before the deadline.
    std::string ReadLine()
    {
        DWORD start = GetTickCount();
        for (;;) {
            size_t end = pending.find('\n');
            if (end != std::string::npos) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return line;
            }
            DWORD available = 0;
            if (!fromChild || !PeekNamedPipe(fromChild, nullptr, 0, nullptr, &available, nullptr))
                return "";
            if (available > 0) {
                char buffer[512];
                DWORD got = 0;
                if (!ReadFile(fromChild, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr))
                    return "";
                pending.append(buffer, got);
                continue;
            }
            if (GetTickCount() - start > ChildDeadlineMs)
                return "";
            Sleep(10);
        }
    }

    // Sends one command line and returns the child's answer.
    std::string Command(const std::string& line)
    {
        std::string text = line + "\n";
        DWORD written = 0;
        if (!toChild || !WriteFile(toChild, text.data(), DWORD(text.size()), &written, nullptr))
            return "";
        return ReadLine();
    }

    // Waits for the child's end; false when it is still running at the deadline.
    bool WaitForExit(DWORD* exitCode, DWORD deadlineMs = ChildDeadlineMs)
    {
        if (!process || WaitForSingleObject(process, deadlineMs) != WAIT_OBJECT_0)
            return false;
        GetExitCodeProcess(process, exitCode);
        return true;
    }

    void Kill()
    {
        if (process) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, ChildDeadlineMs);
            CloseHandle(process);
            process = nullptr;
        }
        for (HANDLE* pipe : {&toChild, &fromChild}) {
            if (*pipe)
                CloseHandle(*pipe);
            *pipe = nullptr;
        }
        pending.clear();
    }
};

// Polls until done() holds or the deadline passes.
template <typename Done>
bool WaitFor(Done done, DWORD deadlineMs = ChildDeadlineMs)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > deadlineMs)
            return false;
        Sleep(20);
    }
    return true;
}
