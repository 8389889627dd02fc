// melodrop-sandbox: the local stand-in of the service as a standalone server.
#include "sandbox/ConnectProxy.h"
#include "sandbox/Sandbox.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int)
{
    stopRequested = 1;
}

int usage()
{
    std::fprintf(
        stderr,
        "usage: melodrop-sandbox [--host ADDR] [--port N] [--probe-status CODE] [--throttle BYTES_PER_S]\n"
        "                        [--drop-after BYTES] [--error-status CODE] [--ignore-range]\n"
        "                        [--file-version N] [--validators] [--partial-answers BYTES]\n"
        "                        [--silent-storage] [--connect-proxy PORT]\n");
    return 2;
}
} // namespace

int main(int argc, char **argv)
{
    std::string host = "127.0.0.1";
    int port = 0;
    int probeStatus = 200;
    long long throttle = 0;
    long long dropAfter = -1;
    int errorStatus = 0;
    bool ignoreRange = false;
    bool validators = false;
    bool silentStorage = false;
    long long partialAnswers = -1;
    int fileVersion = 0;
    int proxyPort = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ignore-range") {
            ignoreRange = true;
            continue;
        }
        if (arg == "--validators") {
            validators = true;
            continue;
        }
        if (arg == "--silent-storage") {
            silentStorage = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage();
        if (arg == "--host")
            host = argv[++i];
        else if (arg == "--port")
            port = std::atoi(argv[++i]);
        else if (arg == "--probe-status")
            probeStatus = std::atoi(argv[++i]);
        else if (arg == "--throttle")
            throttle = std::atoll(argv[++i]);
        else if (arg == "--drop-after")
            dropAfter = std::atoll(argv[++i]);
        else if (arg == "--error-status")
            errorStatus = std::atoi(argv[++i]);
        else if (arg == "--file-version")
            fileVersion = std::atoi(argv[++i]);
        else if (arg == "--partial-answers")
            partialAnswers = std::max(1LL, std::atoll(argv[++i]));
        else if (arg == "--connect-proxy")
            proxyPort = std::atoi(argv[++i]);
        else
            return usage();
    }
    Sandbox sandbox;
    sandbox.setProbeStatus(probeStatus);
    sandbox.storageFaults().throttleBytesPerSecond = throttle;
    sandbox.storageFaults().dropAfterBytes = dropAfter;
    sandbox.storageFaults().errorStatus = errorStatus;
    sandbox.storageFaults().ignoreRange = ignoreRange;
    sandbox.storageFaults().validators = validators;
    sandbox.storageFaults().fileVersion = fileVersion;
    sandbox.storageFaults().partialAnswerBytes = partialAnswers;
    sandbox.storageFaults().silent = silentStorage;
    if (!sandbox.start(port, host)) {
        std::fprintf(stderr, "melodrop-sandbox: cannot listen on %s:%d\n", host.c_str(), port);
        return 1;
    }
    const Sandbox::Account account = Sandbox::defaultAccount();
    std::printf("%s\n", sandbox.baseUrl().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "Sandbox listening on %s (account %s / %s)\n", sandbox.baseUrl().c_str(),
                 account.email.c_str(), account.password.c_str());
    ConnectProxy proxy;
    if (proxyPort >= 0) {
        if (!proxy.start(proxyPort)) {
            std::fprintf(stderr, "melodrop-sandbox: cannot listen for the proxy on port %d\n", proxyPort);
            return 1;
        }
        std::fprintf(stderr, "Tunnelling proxy on %s\n", proxy.url().c_str());
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sandbox.stop();
    return 0;
}
