#include "platform/computer_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/temp_dir.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tavo::platform {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<commands::DirectoryListing::File>;

// The computer's files with the temporary directory reachable as `Root()`.
struct Rig {
  testing::TempDir dir;
#ifdef _WIN32
  NativeComputerFiles files;
  std::string Root() const { return *BytesFromNative(dir.path()) + "\\"; }
#else
  NativeComputerFiles files{{{'c', "/"}, {'t', dir.path().native()}}};
  std::string Root() const { return "t:\\"; }
#endif
};

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> FileRows(const Files& files) {
  std::vector<std::string> rows;
  for (const auto& file : files) rows.push_back(file.name + "=" + std::to_string(file.size));
  return Sorted(rows);
}

TEST(NativeComputerFiles, ListsOnlyWhatTheProgramCanShowAndAddress) {
  Rig rig;
  fs::create_directories(rig.dir.path() / "sub" / "deeper");
  fs::create_directories(rig.dir.path() / ".hidden-dir");
  rig.dir.Put("a.txt", "abc");
  rig.dir.Put("empty", "");
  rig.dir.Put(".hidden", "x");
  rig.dir.Put("sub/inner", "12345");
#ifdef _WIN32
  rig.dir.Put("sys.txt", "s");
  rig.dir.Put("hid.txt", "h");
  ASSERT_TRUE(::SetFileAttributesW((rig.dir.path() / "sys.txt").c_str(), FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(::SetFileAttributesW((rig.dir.path() / "hid.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
#else
  ASSERT_EQ(::mkfifo((rig.dir.path() / "pipe").c_str(), 0600), 0);
  rig.dir.Put("back\\slash", "b");
  rig.dir.Put("<angle>", "c");
  fs::create_directory_symlink(rig.dir.path() / "sub", rig.dir.path() / "to-sub");
  fs::create_symlink(rig.dir.path() / "gone", rig.dir.path() / "dangling");
#endif

  const auto top = rig.files.List(rig.Root());
  ASSERT_TRUE(top);
#ifdef _WIN32
  const auto drive_root = rig.files.List(rig.Root().substr(0, 3));
  ASSERT_TRUE(drive_root);
  EXPECT_FALSE(drive_root->has_parent);
#else
  EXPECT_FALSE(top->has_parent);  // the root of drive t
#endif
#ifdef _WIN32
  EXPECT_EQ(Sorted(top->directories), (std::vector<std::string>{"sub"}));
#else
  EXPECT_EQ(Sorted(top->directories), (std::vector<std::string>{"sub", "to-sub"}));
#endif
  EXPECT_EQ(FileRows(top->files), (std::vector<std::string>{"a.txt=3", "empty=0"}));

  const auto sub = rig.files.List(rig.Root() + "sub\\");
  ASSERT_TRUE(sub);
  EXPECT_TRUE(sub->has_parent);
  EXPECT_EQ(sub->directories, (std::vector<std::string>{"deeper"}));
  EXPECT_EQ(FileRows(sub->files), (std::vector<std::string>{"inner=5"}));
  EXPECT_FALSE(rig.files.List(rig.Root() + "missing\\"));

  EXPECT_TRUE(rig.files.OrdinaryFileExists(rig.Root() + "sub\\inner"));
  EXPECT_FALSE(rig.files.OrdinaryFileExists(rig.Root() + "sub"));
  EXPECT_FALSE(rig.files.OrdinaryFileExists(rig.Root() + ".hidden"));
  EXPECT_FALSE(rig.files.FileSize(rig.Root() + "missing"));
}

TEST(NativeComputerFiles, ReplacingKeepsTheOldFileUntilCommit) {
  Rig rig;
  rig.dir.Put("f", "old");
  auto out = rig.files.CreateReplacing(rig.Root() + "f");
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->Write("new "));
  EXPECT_TRUE(out->Write("bytes"));
  EXPECT_EQ(rig.dir.Get("f"), "old");
  EXPECT_TRUE(out->Commit());
  out.reset();
  EXPECT_EQ(rig.dir.Get("f"), "new bytes");
  EXPECT_EQ(rig.dir.EntryCount(), 1);

  // Dropped without Commit: the old file is untouched, a new one never appears.
  rig.files.CreateReplacing(rig.Root() + "f")->Write("lost");
  rig.files.CreateReplacing(rig.Root() + "g")->Write("lost");
  EXPECT_EQ(rig.dir.Get("f"), "new bytes");
  EXPECT_EQ(rig.dir.EntryCount(), 1);

  EXPECT_FALSE(rig.files.CreateReplacing(rig.Root() + "missing\\f"));
  EXPECT_TRUE(rig.files.MakeDirectory(rig.Root() + "made\\"));
  EXPECT_TRUE(rig.files.MakeDirectory(rig.Root() + "made\\"));  // already there
}

// Bytes outside ASCII name the same file both ways: exactly on POSIX, through
// the ANSI code page on Windows.
TEST(NativeComputerFiles, NamesAreBytes) {
  Rig rig;
  const std::string name = "caf\xe9 \xa7.txt";
  std::string all_bytes;
  for (int i = 0; i < 256; ++i) all_bytes += static_cast<char>(i);
  auto out = rig.files.CreateReplacing(rig.Root() + name);
  ASSERT_TRUE(out && out->Write(all_bytes) && out->Commit());
  const auto listing = rig.files.List(rig.Root());
  ASSERT_TRUE(listing);
  ASSERT_EQ(listing->files.size(), 1u);
  EXPECT_EQ(listing->files[0].name, name);
  auto in = rig.files.OpenRead(rig.Root() + name);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->Read(1000), all_bytes);
  EXPECT_EQ(in->Read(1000), "");
}

#ifndef _WIN32
TEST(NativeComputerFiles, DriveLettersNameRoots) {
  NativeComputerFiles files({{'c', "/"}, {'d', "/media/ann/USB STICK"}, {'h', "/home/ann"}});
  EXPECT_EQ(files.Drives(),
            (std::vector<std::string>{"c: /", "d: /media/ann/USB STICK", "h: /home/ann"}));
  EXPECT_EQ(files.NativePath("h:\\docs\\a.txt"), fs::path("/home/ann/docs/a.txt"));
  EXPECT_EQ(files.NativePath("C:\\"), fs::path("/"));
  EXPECT_EQ(files.NativePath("d:\\a b"), fs::path("/media/ann/USB STICK/a b"));
  EXPECT_FALSE(files.NativePath("e:\\"));
  EXPECT_FALSE(files.NativePath("\\etc"));
}

TEST(Drives, MountedVolumesGetTheLettersAfterCAndH) {
  const std::string mounts =
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
      "/dev/sdc1 /mnt/data ext4 rw 0 0\n"
      "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
      "/dev/sdd1 /run/media/bob/CAM vfat rw 0 0\n"
      "none /mnt/scratch tmpfs rw 0 0\n"
      "systemd-1 /mnt/nas autofs rw 0 0\n"
      "/dev/sde1 /mnt ext4 rw 0 0\n";
  const std::vector<std::string> points = UserMountPoints(mounts);
  EXPECT_EQ(points,
            (std::vector<std::string>{"/media/ann/USB STICK", "/mnt/data", "/run/media/bob/CAM"}));
  std::vector<std::string> many = points;
  for (int i = 0; i < 30; ++i) many.push_back("/mnt/v" + std::to_string(i));
  const std::vector<DriveRoot> drives = LetterDrives("/home/ann/", many);
  ASSERT_EQ(drives.size(), 26u - 2u);  // c to z, but not a and b
  EXPECT_EQ(drives[1].letter, 'd');
  EXPECT_EQ(drives[5].letter, 'h');
  EXPECT_EQ(drives[5].root, "/home/ann");
  EXPECT_EQ(drives[6].root, "/mnt/v1");  // g took v0, h is home

  EXPECT_EQ(DriveHolding(drives, "/home/ann/docs"), 5);
  EXPECT_EQ(DriveHolding(drives, "/home/anna"), 0);
  EXPECT_EQ(DriveHolding(drives, "/media/ann/USB STICK/x"), 1);
  EXPECT_EQ(DriveHolding(LetterDrives("/", {}), "/tmp"), 1);  // home wins a tie with /
}
#endif

}  // namespace
}  // namespace tavo::platform
