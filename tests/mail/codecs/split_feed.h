// Runs a streaming filter over a text split in two at `at`, the way chunk boundaries
// fall in a real send.
#pragma once

#include <string>
#include <string_view>

namespace eqd::test {

template <class TFilter>
std::string FeedSplit(std::string_view input, std::size_t at, TFilter filter = TFilter{}) {
  std::string out;
  filter.Update(input.substr(0, at), out);
  filter.Update(input.substr(at), out);
  filter.Finish(out);
  return out;
}

template <class TFilter>
std::string FeedBytewise(std::string_view input, TFilter filter = TFilter{}) {
  std::string out;
  for (std::size_t i = 0; i < input.size(); ++i) filter.Update(input.substr(i, 1), out);
  filter.Finish(out);
  return out;
}

}  // namespace eqd::test
