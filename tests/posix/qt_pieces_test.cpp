// The adapter's small translations: drop lists, picker requests, launcher
// properties and the cover decoder, each against its table of cases.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <utility>
#include <thread>

#include "hostile_covers.hpp"
#include "qt_test_support.hpp"
#include "support/file_bytes.hpp"
#include "support/scratch_folder.hpp"
#include "ui/posix/cover_decoder.hpp"
#include "ui/posix/desktop_services.hpp"
#include "ui/posix/uri_list.hpp"

namespace n_zorbel::n_testing {
namespace {

using namespace n_ui::n_posix;

TEST(UriList, TakesLocalFilesInOrderAndLeavesEverythingElse) {
  struct t_Case {
    const char* list;
    std::vector<t_String> paths;
  };
  const t_Case cases[] = {
      {"file:///a/one.mp4\r\nfile:///b/two.mp4\r\n", {"/a/one.mp4", "/b/two.mp4"}},
      {"file:///a/one.mp4\nfile:///b/two.mp4", {"/a/one.mp4", "/b/two.mp4"}},  // bare LF, no last break
      {"# comment\r\nfile:///x\r\n\r\n", {"/x"}},
      {"file://localhost/with%20blank/%D1%84.mp4\r\n", {"/with blank/\xd1\x84.mp4"}},
      {"file:/short/form.mp4\r\n", {"/short/form.mp4"}},
      {"FILE:///upper/case\r\n", {"/upper/case"}},
      {"file:///odd/caf%E9.mp4\r\n", {"/odd/caf\xe9.mp4"}},  // bytes, not UTF-8
      {"http://host/video.mp4\r\nsmb://server/share/v.mp4\r\n", {}},
      {"file://elsewhere.invalid/v.mp4\r\n", {}},  // another machine's file
      {"file:///bad%zzescape\r\nfile:///cut%4\r\nfile:///nul%00.mp4\r\n", {}},
      {"file:///with/query?x=1#frag\r\n", {"/with/query"}},
      {"", {}},
  };
  for (const auto& [list, paths] : cases) EXPECT_EQ(LocalPathsFromUriList(QByteArray(list)), paths) << list;
}

TEST(PickerSetup, FollowsTheRequest) {
  struct t_Case {
    n_ui::t_PickRequest request;
    t_PickerSetup setup;
  };
  const t_Case cases[] = {
      {{"Video files", "mp4", "*.mp4", true, false},
       {QFileDialog::ExistingFiles, "Video files (*.mp4)", "mp4", false}},
      {{"Image files", "jpg", "*.jpg;*.png", false, false},
       {QFileDialog::ExistingFile, "Image files (*.jpg *.png)", "jpg", false}},
      {{"", "", "", true, true}, {QFileDialog::Directory, "", "", true}},
      {{"", "", "", false, true}, {QFileDialog::Directory, "", "", false}},
  };
  for (const auto& [request, setup] : cases) EXPECT_EQ(PickerSetupFor(request), setup);
}

TEST(LauncherProgress, CarriesTheUnityLauncherEntryProperties) {
  const t_LauncherProgress progress{true, 0.66, true};
  const QVariantMap properties = progress.Properties();
  EXPECT_EQ(properties.value("progress").toDouble(), 0.66);
  EXPECT_EQ(properties.value("progress").typeId(), QMetaType::Double);
  EXPECT_TRUE(properties.value("progress-visible").toBool());
  EXPECT_TRUE(properties.value("urgent").toBool());
  EXPECT_EQ(properties.size(), 3);
}

TEST(WebAddress, KeepsThePathAndTheQuery) {
  const QUrl url = WebAddress("http://zorbel.example/donate?from=Mivora v1.0.12");
  EXPECT_TRUE(url.isValid());
  EXPECT_EQ(url.path(), QStringLiteral("/donate"));
  EXPECT_EQ(url.query(), QStringLiteral("from=Mivora v1.0.12"));
}

// Through the decoder's own thread and back over the event loop: the
// picture's size, or 0 x 0 for null; nothing when no delivery came.
std::optional<std::pair<std::uint32_t, std::uint32_t>> Decoded(t_QtCoverDecoder& decoder, const t_String& path) {
  std::optional<std::pair<std::uint32_t, std::uint32_t>> size;
  decoder.Start(path, [&](std::unique_ptr<n_preview::t_CoverImage> image) {
    size = image ? std::pair(image->Width(), image->Height()) : std::pair(0u, 0u);
  });
  for (int wait = 0; wait < 400 && !size; ++wait) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return size;
}

TEST(CoverDecoder, DecodesByContentAwayFromTheGuiThreadAndLeavesTheFileFree) {
  TestApplication();
  t_ScratchFolder scratch;
  QImage picture(30, 20, QImage::Format_RGB32);
  picture.fill(Qt::red);
  // Written through the file's bytes, so a name that is not UTF-8 stays so.
  const auto write = [&](const char* name, const QByteArray& bytes) {
    std::ofstream(std::filesystem::path(scratch / name), std::ios::binary).write(bytes.constData(), bytes.size());
  };
  const auto save = [&](const char* name, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, format));
    write(name, bytes);
  };
  save("png-named.jpg", "PNG");
  save("jpeg-named.png", "JPEG");
  save("caf\xe9.png", "PNG");
  save("picture.bmp", "BMP");
  write("progressive.jpg", ProgressiveJpeg(picture));
  write("bomb.jpg", ScanBomb(64, 2000));
  scratch.MakeFile("text.png", "not a picture");
  scratch.MakeFile("empty.jpg", "");
  scratch.MakeFolder("folder.png");
  const std::pair<std::uint32_t, std::uint32_t> none{0, 0}, whole{30, 20};
  const struct {
    const char* name;
    std::pair<std::uint32_t, std::uint32_t> size;
  } cases[] = {
      {"png-named.jpg", whole}, {"jpeg-named.png", whole}, {"caf\xe9.png", whole}, {"progressive.jpg", whole},
      {"picture.bmp", none},  // the tagger takes JPEG and PNG only
      {"bomb.jpg", none},     {"text.png", none},        {"empty.jpg", none},    {"folder.png", none},
      {"missing.png", none},
  };
  t_QtCoverDecoder decoder;
  for (const auto& c : cases) EXPECT_EQ(Decoded(decoder, scratch / c.name), std::optional(c.size)) << c.name;
  // The decoded picture holds no handle: the file can be replaced at once.
  EXPECT_EQ(Decoded(decoder, scratch / "png-named.jpg"), std::optional(whole));
  EXPECT_TRUE(std::filesystem::remove(std::filesystem::path(scratch / "png-named.jpg")));
}

}  // namespace
}  // namespace n_zorbel::n_testing

namespace n_zorbel::n_testing {
namespace {

std::string Output(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
    ::pclose(pipe);
  }
  return output;
}

TEST(LauncherSignal, GoesOutOnTheSessionBusAsTheUnityLauncherEntrysUpdate) {
  // A private session bus of the test's own, and a monitor on it.
  const std::string started = Output("dbus-daemon --session --fork --print-address=1 --print-pid=1");
  const auto newline = started.find('\n');
  ASSERT_NE(newline, std::string::npos) << "no dbus-daemon";
  const std::string address = started.substr(0, newline);
  const std::string daemonPid = started.substr(newline + 1, started.find('\n', newline + 1) - newline - 1);
  t_ScratchFolder scratch;
  const std::string log = ToUtf8(scratch / "monitor.log");
  const std::string monitorPid = Output(
      "dbus-monitor --address '" + address +
      "' \"type='signal',interface='com.canonical.Unity.LauncherEntry'\" > '" + log + "' 2>&1 & echo $!");
  const std::string monitor = monitorPid.substr(0, monitorPid.find('\n'));
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  TestApplication();
  t_QtDesktopServices services(QStringLiteral("example.zorbel.Mivora"));
  std::string seen;
  for (int attempt = 0; attempt < 100 && seen.find("0.66") == std::string::npos; ++attempt) {
    if (attempt % 10 == 0) services.UpdateLauncher({true, 0.66, false});  // until the monitor listens
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    seen = ReadFile(log);
  }
  Output("kill " + monitor + " " + daemonPid);
  EXPECT_NE(seen.find("member=Update"), std::string::npos) << seen;
  EXPECT_NE(seen.find("string \"application://example.zorbel.Mivora.desktop\""), std::string::npos) << seen;
  EXPECT_NE(seen.find("string \"progress-visible\""), std::string::npos) << seen;
  EXPECT_NE(seen.find("double 0.66"), std::string::npos) << seen;
}

}  // namespace
}  // namespace n_zorbel::n_testing
