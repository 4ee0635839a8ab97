// Start-up of the real program to its idle event loop, the memory of its whole process tree (the
// program and every process it started: the translation stages) at idle before any hover, and the CPU
// the tree uses while the pointer rests. Run inside the private session (warm disk: the first run
// only warms it and is not counted):
//   scripts/run-session.sh build/release/bench/startup_idle_bench [path/to/lumivox] [runs] [idle-seconds]
// The program reports "idle after N ms" when its event loop first runs; start-up is measured from
// before the fork to that line. Figures are printed; nothing is asserted.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Started
{
    pid_t pid = -1;
    int stderrFd = -1;
    double wallMs = 0; // fork to the idle line
    double reportedMs = 0; // the program's own figure, from main()
};

// Folders of the bench's own, so that the program starts with everyday settings, never as a first run.
const std::string &configHome()
{
    static const std::string path = [] {
        char folder[] = "/tmp/lumivox-bench-config-XXXXXX";
        const std::string made = mkdtemp(folder) ? folder : "/tmp";
        std::filesystem::create_directories(made + "/Lumivox");
        std::ofstream(made + "/Lumivox/app.lumivox.json")
            << R"({"translateTarget": "es", "holdKey": "option", "hasCompletedOnboarding": true,)"
            << R"( "wordsAskedAboutHistory": true})";
        return made;
    }();
    return path;
}

const std::string &dataHome()
{
    static const std::string path = [] {
        char folder[] = "/tmp/lumivox-bench-data-XXXXXX";
        return std::string(mkdtemp(folder) ? folder : "/tmp");
    }();
    return path;
}

Started start(const std::string &program)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const std::string config = configHome();
    const std::string data = dataHome();
    const auto before = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        setenv("QT_LOGGING_RULES", "app.lumivox.App.debug=true", 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        // As at login on an everyday desktop: no window of its own, the first-run guide done.
        execl(program.c_str(), program.c_str(), "--autostart", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    Started s;
    s.pid = pid;
    s.stderrFd = fds[0];
    std::string seen;
    char buffer[4096];
    while (true) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            return s; // ended before it was idle
        seen.append(buffer, static_cast<std::size_t>(n));
        const auto at = seen.find("idle after ");
        if (at != std::string::npos && seen.find(" ms", at) != std::string::npos) {
            s.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
            s.reportedMs = std::atof(seen.c_str() + at + std::strlen("idle after "));
            return s;
        }
    }
}

void stop(Started &s)
{
    kill(s.pid, SIGTERM);
    int status = 0;
    waitpid(s.pid, &status, 0);
    close(s.stderrFd);
}

// Keeps reading the program's log so that it never blocks on a full pipe.
void drainInBackground(int fd)
{
    std::thread([fd] {
        char buffer[4096];
        while (read(fd, buffer, sizeof buffer) > 0) { }
    }).detach();
}

struct Memory
{
    double rss = 0; // MiB
    double pss = 0; // MiB: shared pages counted once over the processes that share them
};

Memory memoryOf(pid_t pid)
{
    Memory m;
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line)) {
        if (line.rfind("Rss:", 0) == 0)
            m.rss = std::atof(line.c_str() + 4) / 1024.0;
        else if (line.rfind("Pss:", 0) == 0)
            m.pss = std::atof(line.c_str() + 4) / 1024.0;
    }
    return m;
}

pid_t parentOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(text.substr(close + 2));
    std::string state;
    pid_t parent = 0;
    rest >> state >> parent;
    return parent;
}

// The program and all its descendants.
std::vector<pid_t> processTree(pid_t root)
{
    std::vector<std::pair<pid_t, pid_t>> parents;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (!name.empty()
            && std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
            const pid_t pid = std::atoi(name.c_str());
            parents.emplace_back(pid, parentOf(pid));
        }
    }
    std::vector<pid_t> tree {root};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        for (const auto &[pid, parent] : parents) {
            if (parent == tree[i])
                tree.push_back(pid);
        }
    }
    return tree;
}

// "lt-proc eng-spa.automorf.bin": the program and the last file it was given.
std::string commandOf(pid_t pid)
{
    std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline");
    std::string text((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    std::string arg;
    for (char c : text) {
        if (c == '\0') {
            args.push_back(arg);
            arg.clear();
        } else {
            arg += c;
        }
    }
    if (args.empty())
        return "?";
    std::string out = args.front().substr(args.front().rfind('/') + 1);
    for (auto it = args.rbegin(); it != args.rend() - 1; ++it) {
        if (it->find('/') != std::string::npos) {
            out += " " + it->substr(it->rfind('/') + 1);
            break;
        }
    }
    return out;
}

struct TreeMemory
{
    Memory main;
    Memory total;
    std::vector<std::pair<std::string, Memory>> children;
};

TreeMemory treeMemory(pid_t root)
{
    TreeMemory t;
    for (pid_t pid : processTree(root)) {
        const Memory m = memoryOf(pid);
        t.total.rss += m.rss;
        t.total.pss += m.pss;
        if (pid == root)
            t.main = m;
        else
            t.children.emplace_back(commandOf(pid), m);
    }
    std::sort(t.children.begin(), t.children.end(),
              [](const auto &a, const auto &b) { return a.second.pss > b.second.pss; });
    return t;
}

double cpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold blanks: utime and stime are the 12th and 13th.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    for (int i = 1; i <= 13 && rest >> field; ++i) {
        if (i == 12)
            utime = std::stoull(field);
        if (i == 13)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// The CPU time of each process of the tree.
std::map<pid_t, double> treeCpuSeconds(pid_t root)
{
    std::map<pid_t, double> out;
    for (pid_t pid : processTree(root))
        out[pid] = cpuSeconds(pid);
    return out;
}

// What the tree used between two readings; a process that ended meanwhile counts up to the first.
double cpuBetween(const std::map<pid_t, double> &before, const std::map<pid_t, double> &after)
{
    double used = 0;
    for (const auto &[pid, seconds] : after) {
        const auto it = before.find(pid);
        used += seconds - (it == before.end() ? 0 : it->second);
    }
    return used;
}

constexpr int settleSeconds = 11;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    std::string self = argv[0];
    const std::string program = argc > 1 ? argv[1] : self.substr(0, self.rfind('/') + 1) + "../src/App/lumivox";
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    const int idleSeconds = argc > 3 ? std::atoi(argv[3]) : 30;

    std::vector<double> wall;
    std::vector<double> reported;
    for (int i = 0; i <= runs; ++i) {
        Started s = start(program);
        if (s.wallMs == 0) {
            std::fprintf(stderr, "%s did not reach its event loop\n", program.c_str());
            return 1;
        }
        if (i > 0) {
            wall.push_back(s.wallMs);
            reported.push_back(s.reportedMs);
        }
        if (i < runs) {
            stop(s);
            continue;
        }
        // The last run stays for the idle figures.
        drainInBackground(s.stderrFd);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const TreeMemory early = treeMemory(s.pid);
        // Resting means after the engines' warm-up and the wait for a tray to take the icon in.
        std::this_thread::sleep_for(std::chrono::seconds(settleSeconds));
        const TreeMemory settled = treeMemory(s.pid);
        const auto cpuBefore = treeCpuSeconds(s.pid);
        const double mainBefore = cpuSeconds(s.pid);
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        const double cpu = cpuBetween(cpuBefore, treeCpuSeconds(s.pid));
        const double mainCpu = cpuSeconds(s.pid) - mainBefore;
        kill(s.pid, SIGTERM);
        int status = 0;
        waitpid(s.pid, &status, 0);

        std::printf("start-up to idle event loop, %d runs: median %.0f ms (min %.0f, max %.0f); "
                    "inside main: median %.0f ms\n",
                    runs, median(wall), *std::min_element(wall.begin(), wall.end()),
                    *std::max_element(wall.begin(), wall.end()), median(reported));
        std::printf("memory at idle, before any hover, one second after start-up: whole tree of %zu processes "
                    "PSS %.1f MiB, RSS %.1f MiB (the program alone PSS %.1f, RSS %.1f)\n",
                    early.children.size() + 1, early.total.pss, early.total.rss, early.main.pss, early.main.rss);
        std::printf("memory at rest once the engines are warmed up: whole tree of %zu processes PSS %.1f MiB, "
                    "RSS %.1f MiB (the program alone PSS %.1f, RSS %.1f)\n",
                    settled.children.size() + 1, settled.total.pss, settled.total.rss, settled.main.pss,
                    settled.main.rss);
        for (const auto &[command, m] : settled.children)
            std::printf("  PSS %5.1f  RSS %5.1f  %s\n", m.pss, m.rss, command.c_str());
        std::filesystem::remove_all(configHome());
        std::filesystem::remove_all(dataHome());
        std::printf("CPU with the pointer resting for %d s, whole tree: %.0f ms (%.3f %% of one core; the program "
                    "alone %.0f ms)\n",
                    idleSeconds, cpu * 1000, 100.0 * cpu / idleSeconds, mainCpu * 1000);
    }
    return 0;
}
