// Objects used from several threads at once, one object per thread, each with its own
// connection: every call succeeds, and each thread sees only its own error information.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host_fixture.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

class ThreadsTest : public HostServerTest {};

// The work of one thread: its own object, project, folder, process and a failing call.
// Returns "" or the first unexpected result.
std::string Work(ModuleHost& host, const std::string& root, int index) {
  HostCalls calls(host);
  IZANApi* api = nullptr;
  try {
    api = host.Create();  // the first creations race for the class factory
  } catch (const std::exception& e) {
    return e.what();
  }
  const std::string project = "P" + std::to_string(index);
  const std::string empty = "ok " + Set("");
  std::string failure;
  const auto expect = [&](const std::string& expected, const std::string& actual) {
    if (failure.empty() && expected != actual) failure = project + ": expected " + expected + ", got " + actual;
  };
  for (int round = 0; round < 3 && failure.empty(); ++round) {
    const std::string folder = "F" + std::to_string(round);
    BSTR r = calls.B(root);
    if (round == 0) expect(empty, calls.Result(api->CreateProject(r, calls.B(project), calls.B(""), calls.Out())));
    expect(empty, calls.Result(api->CreateFolder(r, calls.B(project), calls.B(folder), calls.B(""), calls.Out())));
    expect(empty, calls.Result(api->CreateBusinessProcess(r, calls.B(project + "/" + folder), calls.B("Bp"),
                                                          calls.B(""), calls.Out())));
    expect("ok " + Set(Item({{"ZAN_NAME", "Bp"}, {"ZAN_NODE_TYPE", "ZAN_BP"}, {"ZAN_HAS_CHILDREN", "FALSE"}})),
           calls.Result(api->GetChildren(r, calls.B(project + "/" + folder), calls.Out())));
    const std::string mbp = calls.Result(api->GetMBP(r, calls.B(project + "/" + folder + "/Bp"), calls.Out()));
    if (mbp.find("<bp id=\"" + project + "/" + folder + "/Bp\"") == std::string::npos) expect("the MBP", mbp);
    expect("0x80040066 Item wasn't found.\n\r\n\rError 102: Item wasn't found.  \n\r",
           calls.Result(api->GetChildren(r, calls.B(project + "/Missing" + folder), calls.Out())));
  }
  api->Release();
  return failure;
}

TEST_F(ThreadsTest, OneObjectPerThreadAllSucceed) {
  constexpr int kThreads = 6;
  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] { failures[i] = Work(host_, R(), i); });
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ("", failures[i]) << i;
  EXPECT_EQ("<no error information>", host_.TakeErrorText());  // the threads' errors stayed theirs
  api_->Release();
  api_ = nullptr;
  EXPECT_EQ(S_OK, host_.DllCanUnloadNow());
}

}  // namespace
}  // namespace zan::test
