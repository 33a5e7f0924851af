// Multistatus reading over any reply, whole and cut into chunks at every 7th byte (the
// reader must give the same result either way).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "dav/Multistatus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  std::vector<zan::dav::MultistatusResponse> whole;
  std::string error;
  const bool ok = zan::dav::ReadMultistatus(reply, whole, error);

  zan::dav::MultistatusReader reader;
  for (size_t at = 0; at < reply.size(); at += 7) reader.Feed(reply.substr(at, 7));
  const bool chunkedOk = reader.Finish();
  if (ok != chunkedOk) std::abort();
  if (ok) {
    const auto& chunked = reader.responses();
    if (chunked.size() != whole.size()) std::abort();
    for (size_t i = 0; i < whole.size(); ++i)
      if (chunked[i].href != whole[i].href || chunked[i].props != whole[i].props ||
          chunked[i].found != whole[i].found || chunked[i].collection != whole[i].collection)
        std::abort();
  }
  return 0;
}
