#include "platform/computer_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/file_names.h"
#include "platform/port_device.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>  // file attributes
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#endif

namespace tavo::platform {
namespace {

namespace fs = std::filesystem;

// The computer's files with the temporary directory reachable as `Root()`.
struct Rig {
  testing::TempDir dir;
#ifdef _WIN32
  NativeComputerFiles files;
  std::string Root() const { return *BytesFromNative(dir.path()) + "\\"; }
  const std::string top = ".. ";  // a temporary directory has a parent
#else
  NativeComputerFiles files{{{'c', "/"}, {'t', dir.path().native()}}};
  std::string Root() const { return "t:\\"; }
  const std::string top;
#endif
};

// ".." when the listing has a parent, then "<directory>" and "file=size" in order.
std::string Listed(const std::optional<core::DirectoryListing>& listing) {
  if (!listing) return "unreadable";
  std::vector<std::string> rows;
  for (const std::string& name : listing->directories) rows.push_back("<" + name + ">");
  for (const auto& file : listing->files)
    rows.push_back(file.name + "=" + std::to_string(file.size));
  std::sort(rows.begin(), rows.end());
  if (listing->has_parent) rows.insert(rows.begin(), "..");
  std::string text;
  for (const std::string& row : rows) text += (text.empty() ? "" : " ") + row;
  return text;
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
  for (const auto& [name, attribute] :
       {std::pair{"sys.txt", FILE_ATTRIBUTE_SYSTEM}, {"hid.txt", FILE_ATTRIBUTE_HIDDEN}}) {
    rig.dir.Put(name, "s");
    ASSERT_TRUE(::SetFileAttributesW((rig.dir.path() / name).c_str(), attribute));
  }
  EXPECT_EQ(Listed(rig.files.List(rig.Root())), ".. <sub> a.txt=3 empty=0");
  EXPECT_FALSE(rig.files.List(rig.Root().substr(0, 3)).value().has_parent);
#else
  // Special entries, and names a program path cannot address.
  ASSERT_EQ(::mkfifo((rig.dir.path() / "pipe").c_str(), 0600), 0);
  rig.dir.Put("back\\slash", "b");
  rig.dir.Put("<angle>", "c");
  fs::create_directory_symlink(rig.dir.path() / "sub", rig.dir.path() / "to-sub");
  fs::create_symlink(rig.dir.path() / "gone", rig.dir.path() / "dangling");
  EXPECT_EQ(Listed(rig.files.List(rig.Root())), "<sub> <to-sub> a.txt=3 empty=0");
#endif
  EXPECT_EQ(Listed(rig.files.List(rig.Root() + "sub\\")), ".. <deeper> inner=5");
  EXPECT_EQ(Listed(rig.files.List(rig.Root() + "missing\\")), "unreadable");
}

// What a copy meets where it writes: a file whatever its attributes, or
// something it must not write through.
TEST(NativeComputerFiles, TellsWhatStandsWhereACopyWrites) {
  using core::Occupant;
  Rig rig;
  fs::create_directories(rig.dir.path() / "sub");
  rig.dir.Put("sub/inner", "i");
  rig.dir.Put(".hidden", "x");
  std::vector<std::pair<std::string, Occupant>> cases = {{"sub\\inner", Occupant::kFile},
                                                         {".hidden", Occupant::kFile},
                                                         {"sub", Occupant::kNotAFile},
                                                         {"missing", Occupant::kNothing},
                                                         {"missing\\f", Occupant::kNothing}};
#ifdef _WIN32
  rig.dir.Put("hid.txt", "s");
  ASSERT_TRUE(::SetFileAttributesW((rig.dir.path() / "hid.txt").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  cases.push_back({"hid.txt", Occupant::kFile});
#else
  ASSERT_EQ(::mkfifo((rig.dir.path() / "pipe").c_str(), 0600), 0);
  fs::create_symlink(rig.dir.path() / "sub" / "inner", rig.dir.path() / "link");
  fs::create_symlink(rig.dir.path() / "gone", rig.dir.path() / "dangling");
  cases.insert(cases.end(), {{"pipe", Occupant::kNotAFile},
                             {"link", Occupant::kNotAFile},
                             {"dangling", Occupant::kNotAFile},
                             {std::string(256, 'n'), Occupant::kNameRefused}});
#endif
  for (const auto& [name, occupant] : cases) {
    EXPECT_EQ(rig.files.OccupantOf(rig.Root() + name), occupant) << name;
  }
}

// Names and contents are bytes both ways (on Windows through the ANSI code page).
TEST(NativeComputerFiles, ReplacingKeepsTheOldFileUntilCommitAndADroppedOneLeavesNothing) {
  Rig rig;
  const std::string name = "caf\xe9 \xa7.txt";
  std::string all_bytes;
  for (int i = 0; i < 256; ++i) all_bytes += static_cast<char>(i);
  rig.dir.Put(name, "old");
  auto out = rig.files.CreateReplacing(rig.Root() + name);
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->Write(all_bytes.substr(0, 100)));
  EXPECT_TRUE(out->Write(all_bytes.substr(100)));
  EXPECT_EQ(rig.dir.Get(name), "old");
  EXPECT_TRUE(out->Commit());
  out.reset();
  EXPECT_EQ(Listed(rig.files.List(rig.Root())), rig.top + name + "=256");
  auto in = rig.files.OpenRead(rig.Root() + name);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->Read(1000), all_bytes);
  EXPECT_EQ(in->Read(1000), "");

  rig.files.CreateReplacing(rig.Root() + name)->Write("lost");
  rig.files.CreateReplacing(rig.Root() + "new")->Write("lost");
  EXPECT_EQ(rig.dir.Get(name), all_bytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(rig.dir.path()), {}), 1);  // no temporary left
  EXPECT_FALSE(rig.files.CreateReplacing(rig.Root() + "missing\\f"));
  EXPECT_TRUE(rig.files.MakeDirectory(rig.Root() + "made\\"));
  EXPECT_TRUE(rig.files.MakeDirectory(rig.Root() + "made\\"));  // already there
}

#ifndef _WIN32
// A link planted where the copy puts its temporary file is not followed.
TEST(NativeComputerFiles, TheTemporaryFileIsAlwaysANewOne) {
  Rig rig;
  fs::create_directory(rig.dir.path() / "elsewhere");
  rig.dir.Put("elsewhere/victim", "precious");
  for (const char* planted : {".t.tavo-part", ".tavo-part"}) {
    fs::create_symlink(rig.dir.path() / "elsewhere" / "victim", rig.dir.path() / planted);
  }
  auto out = rig.files.CreateReplacing(rig.Root() + "t");
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->Write("new"));
  EXPECT_TRUE(out->Commit());
  EXPECT_EQ(rig.dir.Get("t"), "new");
  EXPECT_EQ(rig.dir.Get("elsewhere/victim"), "precious");
  EXPECT_TRUE(fs::is_symlink(rig.dir.path() / ".t.tavo-part"));
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// A copy killed midway leaves its temporary file; the next copy into that
// directory removes it, and nothing else: not a copy still being written, not
// files that merely look alike.
TEST(NativeComputerFiles, StraysOfAKilledCopyGoWithTheNextCopy) {
  Rig rig;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto out = rig.files.CreateReplacing(rig.Root() + "killed");
    if (out && out->Write("half")) ::kill(::getpid(), SIGKILL);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  const std::set<std::string> strays = Names(rig.dir.path());
  ASSERT_EQ(strays.size(), 1u);

  // A name like a copy's is not enough: nor is a copy of a leftover with
  // its mark (a new file), nor a file of the user's with the mark's name.
  const std::string alike[] = {".tavo-part-0123456789abcde",  ".tavo-part-0123456789abcdef0",
                               ".tavo-part-0123456789ABCDEF", "x.tavo-part-0123456789abcdef",
                               ".killed.tavo-part",           "tavo-part-0123456789abcdef",
                               ".tavo-part-0123456789abcdef", ".tavo-part-00000000000000cc"};
  for (const std::string& name : alike) rig.dir.Put(name, "mine");
  char mark[64];
  const ssize_t size =
      ::getxattr((rig.dir.path() / *strays.begin()).c_str(), "user.tavo.part", mark, sizeof mark);
  ASSERT_GT(size, 0);
  ASSERT_EQ(::setxattr((rig.dir.path() / ".tavo-part-00000000000000cc").c_str(), "user.tavo.part",
                       mark, static_cast<std::size_t>(size), 0),
            0);
  fs::create_directory(rig.dir.path() / ".tavo-part-00000000000000aa");
  rig.dir.Put("target", "mine");
  fs::create_symlink(rig.dir.path() / "target", rig.dir.path() / ".tavo-part-00000000000000bb");
  std::set<std::string> kept = Names(rig.dir.path());
  for (const std::string& stray : strays) kept.erase(stray);

  auto busy = rig.files.CreateReplacing(rig.Root() + "busy");
  ASSERT_TRUE(busy && busy->Write("still going"));
  auto next = rig.files.CreateReplacing(rig.Root() + "next");
  ASSERT_TRUE(next && next->Write("n") && next->Commit());
  EXPECT_TRUE(busy->Commit());
  kept.insert({"busy", "next"});
  EXPECT_EQ(Names(rig.dir.path()), kept);
  EXPECT_EQ(rig.dir.Get("busy"), "still going");
  // A finished file carries no mark.
  EXPECT_LT(::getxattr((rig.dir.path() / "next").c_str(), "user.tavo.part", mark, sizeof mark), 0);
}
#endif

// Names each system can hold: both, POSIX only (Windows reserves characters,
// a trailing dot or blank and device names), neither.
TEST(FileNames, EachSystemRefusesWhatItCannotHold) {
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"a", "a.txt", " lead", "caf\xe9", ".profile", "CONSOLE", "COM0", "LPT10", "nul1.txt", "a b",
        std::string(255, 'n')},
       2},
      {{"a<b", "a>b", "a:b", "a\"b", "a\\b", "a|b", "a?b", "a*b", "tab\t", "end.", "end ", "CON",
        "con.txt", "Nul", "aux .c", "COM1", "lpt9.log", "CONOUT$"},
       1},
      {{"", ".", "..", "a/b", std::string("a\0b", 3), std::string(256, 'n')}, 0}};
  for (const auto& [names, systems] : cases) {
    for (const std::string& name : names) {
      EXPECT_EQ(IsStorablePosixName(name), systems >= 1) << name;
      EXPECT_EQ(IsStorableWindowsName(name), systems == 2) << name;
    }
  }
}

TEST(PortDevice, PortNumbersNameDevices) {
  testing::TempDir dir;
  const std::string start =
      *BytesFromNative(dir.path()) + static_cast<char>(fs::path::preferred_separator);
  EXPECT_EQ(SerialDeviceName(0, start), "");
#ifdef _WIN32
  EXPECT_EQ(SerialDeviceName(1, start), "COM1");
  EXPECT_EQ(SerialDeviceName(4, start), "COM4");
#else
  EXPECT_EQ(SerialDeviceName(1, start), "/dev/ttyS0");
  EXPECT_EQ(SerialDeviceName(4, start), "/dev/ttyS3");
  // An entry com<n> in the start directory wins, named by what it points at;
  // a link to nothing is still that port, which then fails to open.
  dir.Put("device", "");
  fs::create_symlink(dir.path() / "device", dir.path() / "com2");
  EXPECT_EQ(SerialDeviceName(2, start), fs::canonical(dir.path() / "device").string());
  fs::create_symlink(dir.path() / "unplugged", dir.path() / "com3");
  EXPECT_EQ(SerialDeviceName(3, start), (dir.path() / "com3").string());
#endif
}

#ifndef _WIN32
// Each letter names a root: c the file system's, h the home directory, the
// others (from d, passing over h) the user's mounted volumes.
TEST(Drives, LettersNameRoots) {
  NativeComputerFiles files({{'c', "/"}, {'h', "/home/ann"}});
  EXPECT_EQ(files.NativePath("h:\\docs\\a b"), fs::path("/home/ann/docs/a b"));
  EXPECT_EQ(files.NativePath("C:\\"), fs::path("/"));
  EXPECT_FALSE(files.NativePath("e:\\"));

  std::vector<std::string> mounts = UserMountPoints(
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
      "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
      "none /mnt/scratch tmpfs rw 0 0\n"
      "/dev/sde1 /mnt ext4 rw 0 0\n"
      "/dev/sdd1 /run/media/bob/CAM vfat rw 0 0\n");
  EXPECT_EQ(mounts, (std::vector<std::string>{"/media/ann/USB STICK", "/run/media/bob/CAM"}));
  for (int i = 0; i < 30; ++i) mounts.push_back("/mnt/v" + std::to_string(i));
  const std::vector<DriveRoot> drives = LetterDrives("/home/ann/", mounts);
  ASSERT_EQ(drives.size(), 24u);  // c to z
  EXPECT_EQ(std::string{drives[5].letter} + drives[5].root + " " + drives[6].root,
            "h/home/ann /mnt/v2");
  EXPECT_EQ(DriveHolding(drives, "/home/ann/docs"), 5);
  EXPECT_EQ(DriveHolding(drives, "/home/anna"), 0);
  EXPECT_EQ(DriveHolding(LetterDrives("/", {}), "/tmp"), 1);  // home wins a tie with /
}
#endif

}  // namespace
}  // namespace tavo::platform
