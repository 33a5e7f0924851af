// The portable half of alert.h: the sink, the line form and the line sink.
#include "platform/os/alert.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#include "platform/os/environment.h"
#include "platform/os/file.h"
#include "platform/os/lasterror.h"

namespace zan::os {

namespace {

std::mutex g_alertMutex;

AlertSink& CurrentSink() {
  static AlertSink sink = DefaultAlertSink;
  return sink;
}

}  // namespace

std::string AlertLine(std::string_view caption, std::string_view text) {
  const auto isBreak = [](char c) { return c == '\r' || c == '\n'; };
  while (!text.empty() && isBreak(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBreak(text.back())) text.remove_suffix(1);
  std::string line(caption);
  line += ": ";
  for (size_t i = 0; i < text.size(); ++i) {
    if (!isBreak(text[i])) {
      line += text[i];
      continue;
    }
    line += ' ';
    while (i + 1 < text.size() && isBreak(text[i + 1])) ++i;
  }
  return line;
}

void DiagnosticLineSink(std::string_view caption, std::string_view text) {
  const std::string line = AlertLine(caption, text) + "\n";
  const std::string where = EnvironmentValue(kEnvDiagnostics);
  if (where == "off") return;
  if (where.empty() || where == "stderr") {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return;
  }
  // A diagnostic never fails the operation, nor changes the thread's last error.
  const uint32_t lastError = LastError();
  File file = File::OpenForAppending(where);
  if (file.isOpen()) file.Write(line);
  SetLastError(lastError);
}

void ShowErrorAlert(std::string_view text) {
  AlertSink sink;
  {
    std::lock_guard<std::mutex> lock(g_alertMutex);
    sink = CurrentSink();
  }
  sink(kAlertCaption, text);
}

AlertSink SetAlertSink(AlertSink sink) {
  if (!sink) sink = DefaultAlertSink;
  std::lock_guard<std::mutex> lock(g_alertMutex);
  return std::exchange(CurrentSink(), std::move(sink));
}

}  // namespace zan::os
