// Where the command-line client takes its secrets from: the password and the session identifier. Either given
// on the command line is readable by every user of the machine in the process list, so standard input and the
// environment come first.
#include "Cli.h"

#include <cstdio>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace Cli {

namespace {

// Turns the terminal's echo off while it lives, when standard input is a terminal.
class HiddenInput
{
public:
    explicit HiddenInput(const char *prompt)
    {
        if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &m_saved) != 0)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        m_active = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        if (m_active)
            std::fputs(prompt, stderr);
    }
    ~HiddenInput()
    {
        if (!m_active)
            return;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
        std::fputs("\n", stderr);
    }
    HiddenInput(const HiddenInput &) = delete;
    HiddenInput &operator=(const HiddenInput &) = delete;

private:
    termios m_saved{};
    bool m_active = false;
};

} // namespace

std::optional<QString> readSecretLine(const char *prompt)
{
    const HiddenInput hidden(prompt);
    std::string line;
    bool gotAnything = false;
    for (int c = std::getc(stdin); c != EOF; c = std::getc(stdin)) {
        gotAnything = true;
        if (c == '\n')
            break;
        line.push_back(char(c));
    }
    if (!gotAnything)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

std::optional<QString> readPasswordLine()
{
    return readSecretLine("Password: ");
}

std::optional<QString> password(const Options &options)
{
    if (options.passwordFromStdin)
        return readPasswordLine();
    if (options.hasPassword)
        return options.password;
    if (qEnvironmentVariableIsSet("MELODROP_PASSWORD"))
        return qEnvironmentVariable("MELODROP_PASSWORD");
    return std::nullopt;
}

std::optional<QString> sessionId(const Options &options)
{
    if (options.sidFromStdin)
        return readSecretLine("Session: ");
    if (options.hasSid)
        return options.sid;
    return std::nullopt;
}

} // namespace Cli
