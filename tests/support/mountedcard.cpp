#include "tests/support/mountedcard.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace
{
// Waits for a child at most timeoutMs; its exit status, or -1.
int WaitChild(pid_t pid, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        if (done < 0 && errno != EINTR)
            return -1;
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

pid_t Spawn(const std::vector<std::string>& argv, int outputFd)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outputFd >= 0)
    {
        posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
        posix_spawn_file_actions_adddup2(&actions, outputFd, 2);
    }
    else
    {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    // The file system tools live in sbin, which a user's PATH may lack.
    for (const char* folder : {"/usr/sbin/", "/sbin/"})
    {
        if (rc != ENOENT || argv[0].find('/') != std::string::npos)
            break;
        const std::string path = folder + argv[0];
        rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, args.data(), environ);
    }
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

dev_t DeviceOf(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}
}

int RunProgram(const std::vector<std::string>& argv, int timeoutMs, std::string* output)
{
    char name[] = "/tmp/pontiro-run-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return -1;
    unlink(name);
    const pid_t pid = Spawn(argv, fd);
    int status = -1;
    if (pid > 0)
    {
        status = WaitChild(pid, timeoutMs);
        if (status < 0)
        {
            kill(pid, SIGKILL);
            WaitChild(pid, 2000);
        }
    }
    if (output)
    {
        output->clear();
        char buffer[4096];
        ssize_t got;
        lseek(fd, 0, SEEK_SET);
        while ((got = read(fd, buffer, sizeof buffer)) > 0)
            output->append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return status;
}

MountedCard::MountedCard(const std::string& folder)
    : m_folder(folder),
      m_image(folder + "/card.img"),
      m_root(folder + "/card"),
      m_driver(-1),
      m_mounted(false),
      m_tmpfs(false)
{
}

MountedCard::~MountedCard()
{
    Unmount();
}

std::string MountedCard::MountFat(unsigned sizeKiB, int fatBits)
{
    if (access("/dev/fuse", R_OK | W_OK) != 0)
        return "/dev/fuse is not usable here";
    const int fd = open(m_image.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(sizeKiB) * 1024) != 0)
    {
        if (fd >= 0)
            close(fd);
        return "cannot make the image file";
    }
    close(fd);

    std::string output;
    if (RunProgram({"mkfs.vfat", "-F", std::to_string(fatBits), m_image}, 20000, &output) != 0)
        return "mkfs.vfat failed or is missing: " + output;
    mkdir(m_root.c_str(), 0755);
    return RemountFat();
}

std::string MountedCard::RemountFat()
{
    m_driverName = "fusefat";
    m_driver = Spawn({"fusefat", "-f", "-o", "rw+", m_image, m_root}, -1);
    if (m_driver < 0)
        return "fusefat is missing";
    return WaitForMount();
}

std::string MountedCard::MountFakeCapacity(unsigned long long capacity, unsigned long long kept)
{
    if (access("/dev/fuse", R_OK | W_OK) != 0)
        return "/dev/fuse is not usable here";
    // Debian's own Python, which has python3-fusepy; another python3 on
    // the PATH may not.
    const std::string python = "/usr/bin/python3";
    std::string output;
    if (RunProgram({python, "-c", "import fusepy"}, 20000, &output) != 0)
        return "python3-fusepy is missing: " + output;
    mkdir(m_root.c_str(), 0755);
    m_driverName = "the fake-capacity card";
    m_driver = Spawn({python, PONTIRO_TEST_FAKE_CARD_SCRIPT, m_root, "--capacity",
                      std::to_string(capacity), "--kept", std::to_string(kept)},
                     -1);
    if (m_driver < 0)
        return "cannot start " + m_driverName;
    return WaitForMount();
}

std::string MountedCard::MountTmpfs(unsigned sizeKiB)
{
    mkdir(m_root.c_str(), 0755);
    const std::string options = "size=" + std::to_string(sizeKiB) + "k";
    if (mount("tmpfs", m_root.c_str(), "tmpfs", 0, options.c_str()) != 0)
        return std::string("tmpfs mount refused: ") + std::strerror(errno);
    m_mounted = true;
    m_tmpfs = true;
    return std::string();
}

std::string MountedCard::WaitForMount()
{
    const dev_t outside = DeviceOf(m_folder);
    for (int waited = 0; waited < 10000; waited += 10)
    {
        if (DeviceOf(m_root) != outside && DeviceOf(m_root) != 0)
        {
            m_mounted = true;
            return std::string();
        }
        int status = 0;
        if (waitpid(m_driver, &status, WNOHANG) == m_driver)
        {
            m_driver = -1;
            return m_driverName + " could not mount the card";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Unmount();
    return m_driverName + " did not mount the card within 10 s";
}

void MountedCard::Pull()
{
    if (m_driver > 0)
    {
        kill(m_driver, SIGKILL);
        WaitChild(m_driver, 5000);
        m_driver = -1;
    }
}

bool MountedCard::Unmount()
{
    bool clean = true;
    if (m_mounted)
    {
        if (m_tmpfs)
            clean = umount2(m_root.c_str(), 0) == 0 || umount2(m_root.c_str(), MNT_DETACH) == 0;
        else if (RunProgram({"fusermount", "-u", m_root}, 10000) != 0)
        {
            clean = false;
            RunProgram({"fusermount", "-u", "-z", m_root}, 10000);
        }
        m_mounted = false;
    }
    if (m_driver > 0)
    {
        if (WaitChild(m_driver, 10000) != 0)
        {
            clean = false;
            kill(m_driver, SIGKILL);
            WaitChild(m_driver, 2000);
        }
        m_driver = -1;
    }
    return clean;
}

bool MountedCard::ImageIsClean(std::string& report)
{
    return RunProgram({"fsck.vfat", "-n", m_image}, 20000, &report) == 0;
}
