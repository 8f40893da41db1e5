// A memory card for the tests: a FAT image made with mkfs.vfat and mounted
// with the FUSE FAT driver (fusefat), a small tmpfs, or a fake-capacity card
// (fakecapacitycard.py beside this file, through python3-fusepy).
#ifndef PONTIRO_TESTS_SUPPORT_MOUNTEDCARD_H
#define PONTIRO_TESTS_SUPPORT_MOUNTEDCARD_H

#include <sys/types.h>

#include <string>
#include <vector>

class MountedCard
{
public:
    // Everything lives below folder: the image and the mount point.
    explicit MountedCard(const std::string& folder);
    ~MountedCard();

    MountedCard(const MountedCard&) = delete;
    MountedCard& operator=(const MountedCard&) = delete;

    // A FAT image of sizeKiB (FAT 12, 16 or 32). Returns why this machine
    // cannot mount it, or an empty text.
    std::string MountFat(unsigned sizeKiB, int fatBits);
    // Mounts the image made by MountFat again, after Unmount.
    std::string RemountFat();
    // As if the card were pulled from the reader: the driver dies at once.
    void Pull();
    // A tmpfs of sizeKiB, the same way.
    std::string MountTmpfs(unsigned sizeKiB);
    // A card that claims capacity bytes and acknowledges every write, but
    // keeps only the first kept bytes of each file (zeros past them).
    std::string MountFakeCapacity(unsigned long long capacity, unsigned long long kept);
    // Unmounts and waits for the driver; true when all went cleanly.
    bool Unmount();
    // After Unmount: whether fsck finds the FAT image consistent.
    bool ImageIsClean(std::string& report);

    const std::string& Root() const { return m_root; }

private:
    std::string WaitForMount();

    std::string m_folder;
    std::string m_image;
    std::string m_root;
    std::string m_driverName;
    pid_t m_driver;
    bool m_mounted;
    bool m_tmpfs;
};

// Runs a program with its output captured; -1 when it did not end in time.
int RunProgram(const std::vector<std::string>& argv, int timeoutMs, std::string* output = nullptr);

// Mounts or, where this machine cannot, skips the test; CI must mount.
#define PONTIRO_REQUIRE_MOUNT(mount)                                        \
    do                                                                      \
    {                                                                       \
        const std::string why_ = (mount);                                   \
        if (!why_.empty())                                                  \
        {                                                                   \
            if (std::getenv("CI"))                                          \
                FAIL() << "CI must mount the card: " << why_;               \
            GTEST_SKIP() << "this machine cannot mount the card: " << why_; \
        }                                                                   \
    } while (0)

#endif
