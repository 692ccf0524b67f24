#include "platform/password_prompt.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

PasswordReader& reader() {
    static PasswordReader installed;
    return installed;
}

// Switches the terminal's echo off for as long as it lives.
class EchoOff {
public:
    EchoOff() {
#ifdef _WIN32
        input_ = GetStdHandle(STD_INPUT_HANDLE);
        active_ = input_ != INVALID_HANDLE_VALUE && GetConsoleMode(input_, &saved_) &&
                  SetConsoleMode(input_, saved_ & ~DWORD(ENABLE_ECHO_INPUT));
#else
        active_ = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0;
        if (active_) {
            termios quiet = saved_;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
#endif
    }
    ~EchoOff() {
        if (!active_)
            return;
#ifdef _WIN32
        SetConsoleMode(input_, saved_);
#else
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
#endif
        // The line end typed was not echoed either.
        std::fputs("\n", stderr);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    bool active_ = false;
#ifdef _WIN32
    HANDLE input_ = INVALID_HANDLE_VALUE;
    DWORD saved_ = 0;
#else
    termios saved_{};
#endif
};

QString fromTerminal(const QString& prompt) {
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    const EchoOff quiet;
    std::string line;
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(stdin)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line.push_back(char(c));
    }
    if (!any)
        return {};
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
}

}  // namespace

QString readPasswordWithoutEcho(const QString& prompt) {
    if (reader())
        return reader()(prompt);
    return fromTerminal(prompt);
}

void setPasswordReader(PasswordReader installed) { reader() = std::move(installed); }

}  // namespace platform
