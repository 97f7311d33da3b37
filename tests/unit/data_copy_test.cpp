// Copying MySQL's data folder: when the copy is refused, its name and the sizes
// it says, and the copy itself on real files (nested folders, a Chinese name, a
// read-only file, InnoDB's files), cancelled half-way, failing, and checked,
// each by one thread and by several at once.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "servers/data_copy.h"
#include "servers/data_copy_posix.h"

namespace tellurix {
namespace {

namespace fs = std::filesystem;
using End = CopyOutcome::End;

constexpr std::uint64_t kMiB = 1024 * 1024;
const char kOwn[] = "C:\\Tellurix\\MySQL\\bin\\mysqld-nt.exe";

TEST(DataCopy, IsRefusedWhileTheServerMayWriteOrTheDriveIsShort) {
  const std::uint64_t folder = 1024 * kMiB;
  const std::uint64_t enough = folder + kCopyHeadroom;
  const struct {
    ServiceState service;
    std::vector<RunningProcess> processes;
    std::uint64_t freeBytes;
    std::vector<std::string> lines;
  } rows[] = {
      {ServiceState::Stopped, {}, enough, {}},
      {ServiceState::Running, {}, enough, {"MySQL正在运行，请先停止MySQL再复制数据文件夹...    "}},
      {ServiceState::Pending, {}, enough, {"MySQL服务正在启动或停止，请等它停止后再复制数据文件夹...    "}},
      {ServiceState::Unknown, {}, enough, {"无法得知MySQL服务的状态，没有复制数据文件夹...    "}},
      // The stack's own server started by hand, its path spelt in another case.
      {ServiceState::Stopped,
       {{612, "C:\\Windows\\explorer.exe"}, {4242, "c:\\TELLURIX\\mysql\\BIN\\MYSQLD-NT.EXE"}},
       enough,
       {"MYSQLD-NT.EXE（PID 4242）正在使用数据文件夹，请先结束它再复制...    "}},
      // Another folder's server under the same name, and one whose path the system keeps to itself.
      {ServiceState::Stopped, {{77, "D:\\xampp\\MySQL\\bin\\mysqld-nt.exe"}, {78, ""}}, enough, {}},
      {ServiceState::Stopped, {}, enough - 1, {"磁盘空间不足，没有复制数据文件夹：需要1.1 GB，只有1.1 GB可用...    "}},
      {ServiceState::Stopped, {}, 300 * kMiB, {"磁盘空间不足，没有复制数据文件夹：需要1.1 GB，只有300 MB可用...    "}},
      {ServiceState::Running,
       {{10, kOwn}, {11, kOwn}},
       0,
       {"MySQL正在运行，请先停止MySQL再复制数据文件夹...    ",
        "mysqld-nt.exe（PID 10）正在使用数据文件夹，请先结束它再复制...    ",
        "mysqld-nt.exe（PID 11）正在使用数据文件夹，请先结束它再复制...    ",
        "磁盘空间不足，没有复制数据文件夹：需要1.1 GB，只有0 B可用...    "}},
  };
  for (const auto& row : rows) {
    CopyConditions conditions{row.service, row.processes, kOwn, row.freeBytes, folder};
    EXPECT_EQ(CopyRefusals(conditions), row.lines) << static_cast<int>(row.service) << " " << row.freeBytes;
  }
  // A folder that could not be listed has no size to find room for (its own line says why).
  EXPECT_EQ(CopyRefusals({ServiceState::Stopped, {}, kOwn, 0, std::nullopt}), std::vector<std::string>{});
}

TEST(DataCopy, GoesBesideTheDataFolderNamedAfterTheLocalTime) {
  const LocalTime at{2024, 3, 5, 7, 8, 9};
  const struct {
    const char* folder;
    const char* copy;
  } rows[] = {
      {"C:\\Tellurix\\MySQL\\data", "C:\\Tellurix\\MySQL\\data-备份-20240305-070809"},
      {"C:\\Tellurix\\MySQL\\data\\", "C:\\Tellurix\\MySQL\\data-备份-20240305-070809"},
      {"D:/数据库/mysql数据//", "D:/数据库/mysql数据-备份-20240305-070809"},
  };
  for (const auto& row : rows) EXPECT_EQ(BackupFolderFor(row.folder, at), row.copy);
  EXPECT_EQ(BackupFolderFor("E:\\d", {2031, 12, 31, 23, 59, 58}), "E:\\d-备份-20311231-235958");
  // A step tried again within the same second gets a name of its own.
  const std::set<std::string> taken = {"E:\\d-备份-1", "E:\\d-备份-1-2"};
  const auto isTaken = [&](const std::string& name) { return taken.count(name) != 0; };
  EXPECT_EQ(UntakenName("E:\\d-备份-0", isTaken), "E:\\d-备份-0");
  EXPECT_EQ(UntakenName("E:\\d-备份-1", isTaken), "E:\\d-备份-1-3");
}

TEST(DataCopy, SaysSizesInTheirLargestWholeUnit) {
  const struct {
    std::uint64_t bytes;
    const char* text;
  } rows[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {1024, "1.0 KB"},
      {1536, "1.5 KB"},
      {102399, "100 KB"},  // 99.999 KB: one decimal would say 100.0
      {1048063, "1023 KB"},
      {1048064, "1.0 MB"},  // 1023.5 KB rounds to 1024 KB
      {12897485, "12.3 MB"},
      {241172480, "230 MB"},
      {1288490189, "1.2 GB"},
      {5ull * 1024 * 1024 * 1024 * 1024, "5.0 TB"},
      {3000ull * 1024 * 1024 * 1024 * 1024, "3000 TB"},
  };
  for (const auto& row : rows) EXPECT_EQ(SizeText(row.bytes), row.text) << row.bytes;
}

TEST(DataCopy, PercentsOnlyRiseAndReachAHundredAtTheEnd) {
  PercentTracker tracker(1000);
  const struct {
    std::uint64_t done;
    unsigned ceiling;
    std::optional<unsigned> said;
  } steps[] = {{0, 100, 0u},    {5, 100, std::nullopt},   {10, 100, 1u},   {9, 100, std::nullopt},
               {995, 98, 98u},  {1000, 99, 99u},          {1000, 99, std::nullopt}, {1000, 100, 100u},
               {1200, 100, std::nullopt}};
  for (const auto& step : steps) EXPECT_EQ(tracker.Advance(step.done, step.ceiling), step.said) << step.done;
  EXPECT_EQ(PercentOf(0, 0), 100u);
  // Sizes where done * 100 no longer fits in 64 bits.
  const std::uint64_t huge = 1ull << 62;
  EXPECT_EQ(PercentOf(huge / 2, huge), 50u);
  EXPECT_EQ(PercentOf(huge - 1, huge), 99u);
}

// --- On real files ----------------------------------------------------------

std::string Bytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

void Put(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file and folder under a root with its bytes and permission bits.
std::map<std::string, std::pair<std::string, fs::perms>> Contents(const fs::path& root) {
  std::map<std::string, std::pair<std::string, fs::perms>> contents;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = fs::relative(entry.path(), root).string();
    contents[relative] = {entry.is_directory() ? "<folder>" : Read(entry.path()), entry.status().permissions()};
  }
  return contents;
}

// The parameter: how many files are copied at once.
class DataFolder : public ::testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() /
            ("tellurix-copy-" + std::to_string(::getpid()) + "-" + std::to_string(GetParam()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base_);
    data_ = base_ / "MySQL" / "data";
    // A data folder as MySQL 5 leaves it, with a database of a Chinese name.
    Put(data_ / "ibdata1", Bytes(3 * kMiB + 17, 1));
    Put(data_ / "ib_logfile0", Bytes(1 * kMiB, 2));
    Put(data_ / "ib_logfile1", Bytes(1 * kMiB, 3));
    Put(data_ / "TELLURIX-PC.err", "2024-03-05 07:08:09 [ERROR] InnoDB: Database page corruption on disk\n");
    Put(data_ / "mysql" / "user.MYD", Bytes(4321, 4));
    Put(data_ / "mysql" / "user.frm", Bytes(10630, 5));
    Put(data_ / "商城" / "订单.frm", Bytes(8600, 6));
    Put(data_ / "商城" / "订单.ibd", Bytes(98304, 7));
    Put(data_ / "a" / "b" / "c" / "db.opt", "default-character-set=utf8\n");
    Put(data_ / "empty.log", "");
    fs::create_directories(data_ / "test");  // an empty database
    fs::permissions(data_ / "mysql" / "user.frm", fs::perms::owner_read | fs::perms::group_read);
    copy_ = (base_ / "MySQL" / "data-备份-20240305-070809").string();
    ASSERT_FALSE(ListTree(posix_, data_.string(), tree_));
    before_ = Contents(data_);
  }
  void TearDown() override {
    for (const auto& entry : fs::recursive_directory_iterator(base_)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
    }
    fs::remove_all(base_);
  }
  CopyOutcome Copy(CopyFileSystem& fs, std::vector<unsigned>* said = nullptr, const std::atomic<bool>* cancel = nullptr) {
    static const std::atomic<bool> never{false};
    return CopyTree(fs, data_.string(), tree_, copy_, [&](unsigned p) { if (said) said->push_back(p); },
                    cancel ? *cancel : never, GetParam());
  }
  // The data folder as it was, and no copy beside it.
  void ExpectUntouchedAndNoCopy() {
    EXPECT_EQ(Contents(data_), before_);
    EXPECT_FALSE(fs::exists(copy_));
    EXPECT_EQ(std::distance(fs::directory_iterator(base_ / "MySQL"), fs::directory_iterator()), 1);
  }

  fs::path base_, data_;
  std::string copy_;
  PosixCopyFileSystem posix_{64 * 1024};
  Tree tree_;
  std::map<std::string, std::pair<std::string, fs::perms>> before_;
};

TEST_P(DataFolder, IsCopiedWholeWithItsAttributesAndRisingPercents) {
  std::vector<unsigned> said;
  const CopyOutcome outcome = Copy(posix_, &said);
  ASSERT_EQ(outcome.end, End::Copied) << outcome.failedPath << ": " << outcome.reason;
  EXPECT_EQ(Contents(copy_), before_);  // bytes, folders, and the read-only file still read-only
  EXPECT_EQ(Contents(data_), before_);
  EXPECT_EQ(outcome.files, 10u);
  EXPECT_EQ(outcome.bytes, tree_.bytes);
  ASSERT_GE(said.size(), 50u);  // 64 KiB at a time: many steps between 0 and 100
  EXPECT_EQ(said.front(), 0u);
  EXPECT_EQ(said.back(), 100u);
  for (size_t i = 1; i < said.size(); ++i) EXPECT_LT(said[i - 1], said[i]);
  EXPECT_EQ(CopyEndLines(outcome, copy_),
            std::vector<std::string>{"已把MySQL的数据文件夹复制到：" + copy_ + "（10个文件，5.1 MB）...    "});
  // Listed in name order, each folder before what it holds.
  std::string order;
  for (const auto& entry : tree_.entries) order += entry.relative + (entry.folder ? "/ " : " ");
  EXPECT_EQ(order, "TELLURIX-PC.err a/ a/b/ a/b/c/ a/b/c/db.opt empty.log ib_logfile0 ib_logfile1 ibdata1 mysql/ "
                   "mysql/user.MYD mysql/user.frm test/ 商城/ 商城/订单.frm 商城/订单.ibd ");
}

TEST_P(DataFolder, CancelledHalfWayLeavesNothingBehind) {
  std::atomic<bool> cancel{false};
  std::vector<unsigned> said;
  unsigned cancelledAt = 0;  // 50, or a little more where several files advance at once
  const CopyOutcome outcome = CopyTree(posix_, data_.string(), tree_, copy_, [&](unsigned p) {
    said.push_back(p);
    if (p >= 50 && !cancel) cancel = true, cancelledAt = p;
  }, cancel, GetParam());
  EXPECT_EQ(outcome.end, End::Cancelled);
  EXPECT_LE(cancelledAt, 55u);  // inside ibdata1, the big file
  EXPECT_EQ(said.back(), cancelledAt);  // nothing said after the cancel
  EXPECT_TRUE(outcome.leftBehind.empty());
  ExpectUntouchedAndNoCopy();
  EXPECT_EQ(CopyEndLines(outcome, copy_),
            (std::vector<std::string>{"已取消复制数据文件夹...    ", "已复制的文件已删除，数据文件夹没有改动...    "}));
}

// Fails copying one file after writing part of it, as a full disk does.
class FailingAt : public PosixCopyFileSystem {
 public:
  explicit FailingAt(std::string name) : PosixCopyFileSystem(4096), name_(std::move(name)) {}
  Copied CopyFile(const std::string& from, const std::string& to, const FileProgress& progress,
                  const std::atomic<bool>& cancel, Failure& failure) override {
    if (from.size() < name_.size() || from.compare(from.size() - name_.size(), name_.size(), name_) != 0) return PosixCopyFileSystem::CopyFile(from, to, progress, cancel, failure);
    std::ofstream(to, std::ios::binary) << "part of it";
    failure = {to, "No space left on device"};
    return Copied::Failed;
  }

 private:
  std::string name_;
};

TEST_P(DataFolder, AFailedCopyIsRemovedAndNamesTheFile) {
  // The first file, the big one, the read-only one, the last one.
  for (const char* name : {"TELLURIX-PC.err", "ibdata1", "mysql/user.frm", "商城/订单.ibd"}) {
    FailingAt failing(name);
    const CopyOutcome outcome = Copy(failing);
    EXPECT_EQ(outcome.end, End::Failed) << name;
    EXPECT_EQ(outcome.failedPath, (data_ / name).string());  // the data folder's file, not the copy's
    EXPECT_TRUE(outcome.leftBehind.empty());
    ExpectUntouchedAndNoCopy();
    EXPECT_EQ(CopyEndLines(outcome, copy_)[0], "复制“" + outcome.failedPath + "”失败：No space left on device...    ");
  }
}

TEST_P(DataFolder, AFolderAlreadyThereIsNeitherUsedNorRemoved) {
  Put(fs::path(copy_) / "mine.txt", "someone's own file");
  const CopyOutcome outcome = Copy(posix_);
  EXPECT_EQ(outcome.end, End::Failed);
  EXPECT_EQ(outcome.failedPath, copy_);
  EXPECT_EQ(Read(fs::path(copy_) / "mine.txt"), "someone's own file");
  EXPECT_EQ(Contents(data_), before_);
}

// Copies, then changes what landed as a faulty disk or another program would.
class Tampering : public PosixCopyFileSystem {
 public:
  enum class Change { Grow, Drop, Add };
  Tampering(std::string name, Change change) : name_(std::move(name)), change_(change) {}
  Copied CopyFile(const std::string& from, const std::string& to, const FileProgress& progress,
                  const std::atomic<bool>& cancel, Failure& failure) override {
    const Copied copied = PosixCopyFileSystem::CopyFile(from, to, progress, cancel, failure);
    if (fs::path(from).filename() == name_) {
      if (change_ == Change::Grow) std::ofstream(to, std::ios::binary | std::ios::app) << 'x';
      if (change_ == Change::Drop) fs::remove(to);
      if (change_ == Change::Add) std::ofstream(to + ".tmp") << "x";
    }
    return copied;
  }

 private:
  std::string name_;
  Change change_;
};

TEST_P(DataFolder, ACopyThatDiffersFromTheFolderIsAFailure) {
  using C = Tampering::Change;
  const std::string ibdata = (data_ / "ibdata1").string();
  const std::string size = std::to_string(fs::file_size(ibdata));
  const struct {
    C change;
    std::string path, reason;
    std::vector<std::string> left;
  } rows[] = {
      {C::Grow, ibdata, "复制后大小不符（应为" + size + "字节，实为" + std::to_string(std::stoull(size) + 1) + "字节）", {}},
      {C::Drop, ibdata, "复制后找不到这个文件", {}},
      // The stray file is not the copy's own: it stays, and so does its folder.
      {C::Add, copy_ + "/ibdata1.tmp", "复制后多出了这个文件", {copy_}},
  };
  for (const auto& row : rows) {
    Tampering tampering("ibdata1", row.change);
    std::vector<unsigned> said;
    const CopyOutcome outcome = Copy(tampering, &said);
    EXPECT_EQ(outcome.end, End::Failed);
    EXPECT_EQ(outcome.failedPath, row.path);
    EXPECT_EQ(outcome.reason, row.reason);
    EXPECT_EQ(outcome.leftBehind, row.left);
    EXPECT_EQ(said.back(), 99u);  // never 100 for a copy that failed its check
    EXPECT_EQ(Contents(data_), before_);
    if (row.left.empty()) {
      EXPECT_FALSE(fs::exists(copy_));
    }
    fs::remove_all(copy_);
  }
}

// Removes nothing under one folder, as when another program holds a file open there.
class Unremovable : public PosixCopyFileSystem {
 public:
  std::optional<Failure> RemoveFile(const std::string& path) override {
    if (path.find("/mysql/") != std::string::npos) return Failure{path, "Permission denied"};
    return PosixCopyFileSystem::RemoveFile(path);
  }
  Copied CopyFile(const std::string& from, const std::string& to, const FileProgress& progress,
                  const std::atomic<bool>& cancel, Failure& failure) override {
    if (fs::path(from).filename() == "订单.ibd") return failure = {to, "Input/output error"}, Copied::Failed;
    return PosixCopyFileSystem::CopyFile(from, to, progress, cancel, failure);
  }
};

TEST_P(DataFolder, WhatCannotBeRemovedIsNamed) {
  Unremovable unremovable;
  const CopyOutcome outcome = Copy(unremovable);
  EXPECT_EQ(outcome.end, End::Failed);
  const std::string mysql = copy_ + "/mysql";
  EXPECT_EQ(outcome.leftBehind,
            (std::vector<std::string>{mysql + "/user.frm", mysql + "/user.MYD", mysql, copy_}));
  EXPECT_TRUE(fs::exists(mysql + "/user.frm"));
  EXPECT_FALSE(fs::exists(copy_ + "/ibdata1"));
  EXPECT_EQ(CopyEndLines(outcome, copy_)[1], "以下已复制的文件没能删除，请手动删除：" + mysql + "/user.frm、" + mysql +
                                                 "/user.MYD、" + mysql + "等4个...    ");
  fs::remove_all(copy_);
}

TEST_P(DataFolder, AFolderThatCannotBeListedIsNamed) {
  Tree tree;
  const auto failure = ListTree(posix_, (data_ / "nowhere").string(), tree);
  ASSERT_TRUE(failure);
  EXPECT_EQ(UnreadableLine(*failure),
            "无法读取数据文件夹中的“" + (data_ / "nowhere").string() + "”：No such file or directory...    ");
}

INSTANTIATE_TEST_SUITE_P(Workers, DataFolder, ::testing::Values(1u, 4u));

}  // namespace
}  // namespace tellurix
