#include "mail/smtp/smtp_reply.h"

#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"

namespace eqd::smtp {

std::string TSmtpReplyStruct::Text() const {
  std::string text;
  for (const std::string& line : Lines) {
    if (line.empty()) continue;
    if (!text.empty()) text += ' ';
    text += line;
  }
  return text.empty() ? std::to_string(Code) : text;
}

std::size_t TSmtpReplyReader::Feed(std::string_view data) {
  std::size_t used = 0;
  while (!complete_ && used < data.size()) {
    const std::string_view rest = data.substr(used);
    const std::size_t lf = rest.find('\n');
    const std::size_t take = lf == std::string_view::npos ? rest.size() : lf + 1;
    if (partial_.size() + take > kMaxLineSize) throw ESmtpError(texts::kReplyLineTooLong);
    replySize_ += take;
    if (replySize_ > kMaxReplySize) throw ESmtpError(texts::kReplyTooLong);
    used += take;
    if (lf == std::string_view::npos) {
      partial_.append(rest);
      break;
    }
    std::string_view line = rest.substr(0, lf);
    std::string joined;
    if (!partial_.empty()) {
      joined = std::move(partial_);
      joined.append(line);
      partial_.clear();
      line = joined;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    AcceptLine(line);
  }
  return used;
}

void TSmtpReplyReader::AcceptLine(std::string_view line) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (line.size() < 3 || !digit(line[0]) || !digit(line[1]) || !digit(line[2]) ||
      (line.size() > 3 && line[3] != ' ' && line[3] != '-')) {
    throw ESmtpError(texts::kReplyMalformed);
  }
  const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
  if (!reply_.Lines.empty() && code != reply_.Code) mixedCodes_ = true;
  reply_.Code = code;
  reply_.Lines.emplace_back(line.size() > 4 ? line.substr(4) : std::string_view());
  complete_ = line.size() == 3 || line[3] == ' ';
  if (complete_ && mixedCodes_) throw ESmtpError(Take().Text());
}

TSmtpReplyStruct TSmtpReplyReader::Take() {
  TSmtpReplyStruct reply = std::move(reply_);
  reply_ = {};
  partial_.clear();
  replySize_ = 0;
  complete_ = false;
  mixedCodes_ = false;
  return reply;
}

}  // namespace eqd::smtp
