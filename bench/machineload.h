// How busy the machine is while a benchmark runs: its figures mean little
// without it on a shared machine.
#ifndef PONTIRO_BENCH_MACHINELOAD_H
#define PONTIRO_BENCH_MACHINELOAD_H

#include <fstream>
#include <string>
#include <thread>

// "load average 1.23 0.98 0.75 on 2 cores", or empty where the system does
// not say.
inline std::string MachineLoad()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    if (!(in >> one >> five >> fifteen))
        return std::string();
    return "load average " + one + " " + five + " " + fifteen + " on " +
           std::to_string(std::thread::hardware_concurrency()) + " cores";
}

#endif
