// pemblar-study: runs a study file's cases on this machine or as a Slurm job array.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

#include "StudyCommands.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnStopSignal(int) {
    g_stop = true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: pemblar-study run FILE [--no-wait] [--replace]\n"
                 "       pemblar-study status FILE\n"
                 "       pemblar-study cancel FILE\n"
                 "       pemblar-study resume FILE [--no-wait]\n"
                 "FILE is a study file (docs/studies.md). With scheduler type \"slurm\", run and resume\n"
                 "follow the job array until it ends; --no-wait returns once it is submitted.\n"
                 "--replace removes the results of a study of the same name, started before, and starts\n"
                 "again. status exits with 0 when the study is complete, 1 when it is not.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::mutex outputMutex;
    StudyCommandIO io;
    io.out = [&](const std::string& line) {
        std::lock_guard lock(outputMutex);
        std::cout << line << std::endl;
    };
    io.err = [&](const std::string& line) {
        std::lock_guard lock(outputMutex);
        std::cerr << line << std::endl;
    };
    io.cancel = [] { return g_stop.load(); };

    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    const std::string file = argv[2];
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--no-wait")
            io.wait = false;
        else if (option == "--replace" && command == "run")
            io.replace = true;
        else if (option.rfind("--poll-ms=", 0) == 0)
            io.pollMilliseconds = std::max(100, std::atoi(option.c_str() + 10));
        else if (command != "run-task")
            return Usage();
    }
    if (command == "run")
        return StudyRunCommand(file, io);
    if (command == "resume")
        return StudyResumeCommand(file, io);
    if (command == "status")
        return StudyStatusCommand(file, io);
    if (command == "cancel")
        return StudyCancelCommand(file, io);
    if (command == "run-task" && (argc == 4 || argc == 5)) {
        char* end = nullptr;
        const long task = std::strtol(argv[3], &end, 10);
        if (!end || *end != '\0' || task < 1)
            return Usage();
        return StudyRunTaskCommand(file, static_cast<int>(task), argc == 5 ? argv[4] : "", io);
    }
    return Usage();
}
