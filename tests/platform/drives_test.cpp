#include "platform/drives.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "common/fixture.h"

namespace sweepwise::platform {
namespace {

using Strings = std::vector<std::string>;

// Lines of a mountinfo table without their two leading mount ids; "$TREE/" in a line stands for
// the fixture folder, for sources that must (not) exist.
struct DrivesCase {
    std::string name;
    Strings lines;
    Strings expected;
};

const std::string kRootLine = "8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw";

class FixedDrivesTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A fixed SATA disk with three partitions; like the kernel, only the disk has the flag.
        disk("sda", "0\n");
        partition("8:1", "sda", "sda1");
        partition("8:2", "sda", "sda2");
        partition("8:3", "sda", "sda3");
        // A USB stick with one partition.
        disk("sdb", "1\n");
        partition("8:17", "sdb", "sdb1");
        // A disk whose partition carries a misleading flag of its own.
        disk("sdc", "1\n");
        partition("8:33", "sdc", "sdc1");
        text("sysfs/devices/sdc/sdc1/removable", "0\n");
        // A disk that gives no removable flag.
        m_tree.folder("sysfs/devices/sdd");
        partition("8:49", "sdd", "sdd1");
        // A disk whose flag file is empty.
        disk("sde", "");
        partition("8:65", "sde", "sde1");
        // Device-mapper volumes are whole devices with their own flag.
        disk("virtual/dm-0", "0\n");
        m_tree.link("sysfs/dev/block/254:0", "../../devices/virtual/dm-0");
        disk("virtual/dm-1", "1\n");
        m_tree.link("sysfs/dev/block/254:1", "../../devices/virtual/dm-1");
    }

    Strings fixedDrives(const Strings& lines) const {
        std::string table;
        int id = 20;
        for (const std::string& line : lines) {
            table += std::to_string(id) + " 1 " + withTree(line) + "\n";
            ++id;
        }
        text("mountinfo", table);
        return fixedDrivesFrom(m_tree.path("mountinfo"), m_tree.path("sysfs"));
    }

    std::string withTree(std::string line) const {
        const std::string marker = "$TREE/";
        for (auto at = line.find(marker); at != std::string::npos; at = line.find(marker)) {
            line.replace(at, marker.size(), m_tree.root());
        }
        return line;
    }

    void text(const std::string& relative, const std::string& content) const {
        std::ofstream(m_tree.file(relative, 0), std::ios::binary) << content;
    }

    void disk(const std::string& name, const std::string& removable) const {
        text("sysfs/devices/" + name + "/removable", removable);
    }

    void partition(const std::string& device, const std::string& disk,
                   const std::string& name) const {
        const std::string folder = "devices/" + disk + "/" + name;
        text("sysfs/" + folder + "/partition", name.substr(disk.size()) + "\n");
        // Relative like the kernel's links, so they resolve against sysfs/dev/block.
        m_tree.link("sysfs/dev/block/" + device, "../../" + folder);
    }

    // Creating device nodes needs privileges; the nodes stay inside the fixture folder.
    bool node(const std::string& relative, mode_t type, dev_t device) const {
        return ::mknod(m_tree.path(relative).c_str(), type | 0600, device) == 0;
    }

    test::TempTree m_tree;
};

class FixedDrivesCaseTest : public FixedDrivesTest,
                            public ::testing::WithParamInterface<DrivesCase> {};

TEST_P(FixedDrivesCaseTest, GivesExactlyTheFixedMountPoints) {
    EXPECT_EQ(fixedDrives(GetParam().lines), GetParam().expected);
}

const DrivesCase kCases[] = {
    {"ext4 partition on a fixed disk is listed", {kRootLine}, {"/"}},
    {"usb stick is removable",
     {kRootLine, "8:17 / /media/ana/STICK rw - vfat /dev/sdb1 rw"},
     {"/"}},
    {"partition takes the removable flag of its disk",
     {kRootLine, "8:33 / /media/card rw - ext4 /dev/sdc1 rw"},
     {"/"}},
    {"disk without a removable flag is not fixed",
     {kRootLine, "8:49 / /srv rw - ext4 /dev/sdd1 rw"},
     {"/"}},
    {"empty removable flag is not fixed", {kRootLine, "8:65 / /srv rw - ext4 /dev/sde1 rw"}, {"/"}},
    {"device without a sysfs entry is not fixed",
     {kRootLine, "8:81 / /srv rw - ext4 /dev/sdf1 rw"},
     {"/"}},
    {"device mapper volume is a whole fixed device",
     {kRootLine, "254:0 / /home rw - xfs /dev/mapper/vg-home rw"},
     {"/", "/home/"}},
    {"removable device mapper volume is excluded",
     {kRootLine, "254:1 / /home rw - xfs /dev/mapper/luks-stick rw"},
     {"/"}},
    // The excluded mounts below sit on a fixed partition, so only their type keeps them out.
    {"tmpfs is a pseudo filesystem", {kRootLine, "8:2 / /run rw - tmpfs tmpfs rw"}, {"/"}},
    {"proc is a pseudo filesystem", {kRootLine, "8:2 / /proc rw - proc proc rw"}, {"/"}},
    {"sysfs is a pseudo filesystem", {kRootLine, "8:2 / /sys rw - sysfs sysfs rw"}, {"/"}},
    {"nfs is a network filesystem",
     {kRootLine, "8:2 / /net/home rw - nfs4 server:/home rw"},
     {"/"}},
    {"cifs is a network filesystem",
     {kRootLine, "8:2 / /net/share rw - cifs //server/share rw"},
     {"/"}},
    {"squashfs image is excluded",
     {kRootLine, "8:2 / /snap/core/1 ro - squashfs /dev/loop0 ro"},
     {"/"}},
    {"iso9660 image is excluded",
     {kRootLine, "8:2 / /media/cdrom ro - iso9660 /dev/sr0 ro"},
     {"/"}},
    {"udf image is excluded", {kRootLine, "8:2 / /media/dvd ro - udf /dev/sr0 ro"}, {"/"}},
    {"erofs image is excluded", {kRootLine, "8:2 / /opt/app ro - erofs /dev/loop1 ro"}, {"/"}},
    {"cramfs image is excluded", {kRootLine, "8:2 / /opt/fw ro - cramfs /dev/loop2 ro"}, {"/"}},
    {"romfs image is excluded", {kRootLine, "8:2 / /opt/rom ro - romfs /dev/loop3 ro"}, {"/"}},
    {"bind mount of a subfolder is excluded",
     {kRootLine, "8:2 /exports/data /srv/data rw - ext4 /dev/sda2 rw"},
     {"/"}},
    {"bind mount of a subfolder does not displace the device root",
     {kRootLine, "8:2 / /home rw - ext4 /dev/sda2 rw",
      "8:2 /ana/projects /data rw - ext4 /dev/sda2 rw"},
     {"/", "/home/"}},
    {"device mounted twice is listed once at its lowest mount point",
     {kRootLine, "8:2 / /srv/backup rw - ext4 /dev/sda2 rw", "8:2 / /home rw - ext4 /dev/sda2 rw"},
     {"/", "/home/"}},
    {"mount point mounted over is listed once",
     {kRootLine, "8:2 / /data rw - ext4 /dev/sda2 rw", "8:3 / /data rw - ext4 /dev/sda3 rw"},
     {"/", "/data/"}},
    {"mount point is judged by the mount on top",
     {kRootLine, "8:2 / /data rw - ext4 /dev/sda2 rw", "8:17 / /data rw - vfat /dev/sdb1 rw"},
     {"/"}},
    {"device hidden under another mount still counts at its other mount point",
     {kRootLine, "8:2 / /data rw - ext4 /dev/sda2 rw", "8:17 / /data rw - vfat /dev/sdb1 rw",
      "8:2 / /srv rw - ext4 /dev/sda2 rw"},
     {"/", "/srv/"}},
    {"btrfs subvolume mounted at its own root is listed",
     {"8:3 /@ / rw - btrfs /dev/sda3 rw,ssd,subvolid=256,subvol=/@"},
     {"/"}},
    {"btrfs subvolumes of one device are listed once",
     {"8:3 /@home /home rw - btrfs /dev/sda3 rw,subvolid=257,subvol=/@home",
      "8:3 /@ / rw - btrfs /dev/sda3 rw,subvolid=256,subvol=/@"},
     {"/"}},
    {"btrfs folder inside a subvolume is a bind mount",
     {kRootLine, "8:3 /@/var/cache /cache rw - btrfs /dev/sda3 rw,subvolid=256,subvol=/@"},
     {"/"}},
    {"subvol option outside btrfs does not make a bind mount count",
     {kRootLine, "8:2 /@ /srv rw - ext4 /dev/sda2 rw,subvol=/@"},
     {"/"}},
    {"anonymous btrfs device with a missing source is passed over",
     {kRootLine, "0:45 /@ /srv rw - btrfs $TREE/missing-disk rw,subvolid=256,subvol=/@"},
     {"/"}},
    {"anonymous btrfs device whose source is not a block device is passed over",
     {kRootLine, "0:45 /@ /srv rw - btrfs $TREE/sysfs/devices/sda/removable rw,subvol=/@"},
     {"/"}},
    {"mount point with a space keeps the space",
     {kRootLine, "8:2 / /media/my\\040disk rw - ext4 /dev/sda2 rw"},
     {"/", "/media/my disk/"}},
    {"mount point bytes pass through unchanged",
     {kRootLine, "8:2 / /mnt/caf\xe9 rw - ext4 /dev/sda2 rw"},
     {"/", "/mnt/caf\xe9/"}},
    {"mount points are in ascending order",
     {"8:3 / /home rw - ext4 /dev/sda3 rw", "8:2 / /boot rw - ext4 /dev/sda2 rw", kRootLine},
     {"/", "/boot/", "/home/"}},
    {"order compares bytes as unsigned",
     {"8:3 / /mnt/caf\xe9 rw - ext4 /dev/sda3 rw", "8:2 / /mnt/cafe rw - ext4 /dev/sda2 rw"},
     {"/mnt/cafe/", "/mnt/caf\xe9/"}},
    {"order compares the mount points with their final slash",
     {"8:2 / /data rw - ext4 /dev/sda2 rw", "8:2 / /data-old rw - ext4 /dev/sda2 rw"},
     {"/data-old/"}},
    {"empty mount table has no drives", {}, {}},
};

std::string caseName(const ::testing::TestParamInfo<DrivesCase>& info) {
    std::string name;
    bool upper = true;
    for (const char c : info.param.name) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            upper = true;
        } else {
            name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            upper = false;
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(MountTables, FixedDrivesCaseTest, ::testing::ValuesIn(kCases), caseName);

TEST_F(FixedDrivesTest, AnonymousDeviceIsIdentifiedByItsSourceNode) {
    if (!node("sda3-node", S_IFBLK, makedev(8, 3))) {
        GTEST_SKIP() << "cannot create device nodes here";
    }
    EXPECT_EQ(fixedDrives({"0:45 /@home /home rw - btrfs $TREE/sda3-node rw,subvol=/@home",
                           "0:45 /@ / rw - btrfs $TREE/sda3-node rw,subvol=/@",
                           "8:3 / /mnt/pool rw - btrfs /dev/sda3 rw,subvol=/"}),
              Strings({"/"}));
}

TEST_F(FixedDrivesTest, AnonymousDeviceOnARemovableDiskIsExcluded) {
    if (!node("sdb1-node", S_IFBLK, makedev(8, 17))) {
        GTEST_SKIP() << "cannot create device nodes here";
    }
    EXPECT_EQ(fixedDrives({kRootLine, "0:52 / /media/stick rw - fuseblk $TREE/sdb1-node rw"}),
              Strings({"/"}));
}

TEST_F(FixedDrivesTest, AnonymousDeviceWithACharacterDeviceSourceIsPassedOver) {
    // The node's number names a fixed partition, so only its type keeps the mount out.
    if (!node("char-node", S_IFCHR, makedev(8, 2))) {
        GTEST_SKIP() << "cannot create device nodes here";
    }
    EXPECT_EQ(fixedDrives({kRootLine, "0:45 /@ /srv rw - btrfs $TREE/char-node rw,subvol=/@"}),
              Strings({"/"}));
}

TEST_F(FixedDrivesTest, MissingMountTableGivesNoDrives) {
    EXPECT_EQ(fixedDrivesFrom(m_tree.path("no-such-mountinfo"), m_tree.path("sysfs")), Strings());
}

TEST_F(FixedDrivesTest, UnreadableMountTableGivesNoDrives) {
    text("mountinfo", "20 1 " + kRootLine + "\n");
    ASSERT_EQ(::chmod(m_tree.path("mountinfo").c_str(), 0), 0);
    const test::WithoutPermissionOverride withoutOverride;
    EXPECT_EQ(fixedDrivesFrom(m_tree.path("mountinfo"), m_tree.path("sysfs")), Strings());
}

}  // namespace
}  // namespace sweepwise::platform
