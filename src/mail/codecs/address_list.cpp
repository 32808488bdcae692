#include "mail/codecs/address_list.h"

#include <cstring>

#include "mail/codecs/encoded_word.h"

namespace eqd {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// One entry being read.
struct TEntry {
  std::string Whole;       // every character of the entry, as given
  std::string Raw;         // text outside comments and angle brackets, quotes kept
  std::string Phrase;      // the same with quotes removed and blanks collapsed
  std::string Angle;       // text inside the first angle brackets
  std::string Comment;     // the text of the entry's comments
  bool HasAngle = false;
  bool AngleClosed = false;
  bool Malformed = false;
  bool PhraseBlank = false;  // the last character added to Phrase was a collapsed blank

  void AddPhrase(char c, bool quoted) {
    if (!quoted && IsBlank(c)) {
      if (!PhraseBlank) Phrase += ' ';
      PhraseBlank = true;
      return;
    }
    Phrase += c;
    PhraseBlank = false;
  }

  void EmitTo(std::vector<TMailAddressStruct>& list) const {
    TMailAddressStruct a;
    if (Malformed || (HasAngle && !AngleClosed)) {
      a.Address = Trim(Whole);
    } else if (HasAngle) {
      a.Address = Trim(Angle);
      a.DisplayName = Trim(Phrase);
    } else {
      a.Address = Trim(Raw);
      a.DisplayName = Trim(Comment);
    }
    if (a.Address.empty() && a.DisplayName.empty()) return;
    if (!HasAngle && a.Address.empty()) return;  // nothing but a comment
    list.push_back(std::move(a));
  }
};

// atext of RFC 5322 and the blank: a display name of these needs no quotes.
bool IsAtomText(char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return c == ' ' || std::strchr("!#$%&'*+-/=?^_`{|}~", c) != nullptr;
}

// Whether a word of the name with the blanks before it (but the one that separates), as
// a header shows it (quotes and backslashes escaped), is too long for folding to keep its
// line within the cap: such a name is sent as encoded words. So a long run of blanks (a
// host's padding) counts too.
bool HasOverlongWord(std::string_view name) {
  std::size_t run = 0;
  bool inWord = false;
  for (const char c : name) {
    if (c == ' ') {
      if (inWord)
        run = 0;
      else
        ++run;
      inWord = false;
    } else {
      inWord = true;
      run += c == '"' || c == '\\' ? 2 : 1;
    }
    if (run > kLongestPlainWord) return true;
  }
  return false;
}

}  // namespace

std::vector<TMailAddressStruct> ParseAddressList(std::string_view text) {
  std::vector<TMailAddressStruct> list;
  TEntry entry;
  bool inQuotes = false, inAngle = false;
  int commentDepth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool separator = (c == ',' || c == ';') && commentDepth == 0 && !inQuotes && !inAngle;
    if (!separator) {
      entry.Whole += c;
      // After the closing ">" only blanks and comments may follow.
      if (entry.AngleClosed && commentDepth == 0 && !IsBlank(c) && c != '(') entry.Malformed = true;
      if (c == '\\' && i + 1 < text.size() && (commentDepth > 0 || inQuotes)) entry.Whole += text[i + 1];
    }
    if (commentDepth > 0) {
      if (c == '\\' && i + 1 < text.size()) {
        if (commentDepth == 1) entry.Comment += text[i + 1];
        ++i;
      } else if (c == '(') {
        ++commentDepth;
      } else if (c == ')') {
        --commentDepth;
      } else if (commentDepth == 1) {
        entry.Comment += c;
      }
      continue;
    }
    if (inQuotes) {
      std::string& target = inAngle ? entry.Angle : entry.Raw;
      if (c == '\\' && i + 1 < text.size()) {
        target += c;
        target += text[i + 1];
        if (!inAngle) entry.AddPhrase(text[i + 1], true);
        ++i;
        continue;
      }
      target += c;
      if (c == '"')
        inQuotes = false;
      else if (!inAngle)
        entry.AddPhrase(c, true);
      continue;
    }
    if (c == '"') {
      inQuotes = true;
      (inAngle ? entry.Angle : entry.Raw) += c;
      continue;
    }
    if (c == '(') {
      // Comments on one entry are joined with a blank; only a bare address uses them.
      if (!entry.Comment.empty()) entry.Comment += ' ';
      commentDepth = 1;
      continue;
    }
    if (inAngle) {
      if (c == '>') {
        inAngle = false;
        entry.AngleClosed = true;
      } else {
        if (c == '<') entry.Malformed = true;
        entry.Angle += c;
      }
      continue;
    }
    if (separator) {
      entry.EmitTo(list);
      entry = TEntry{};
      continue;
    }
    if (c == '>' || (c == '<' && entry.HasAngle)) entry.Malformed = true;
    if (c == '<' && !entry.HasAngle) {
      inAngle = true;
      entry.HasAngle = true;
      continue;
    }
    entry.Raw += c;
    entry.AddPhrase(c, false);
  }
  entry.EmitTo(list);
  return list;
}

bool IsValidMailAddress(std::string_view address) {
  if (address.empty()) return false;
  bool inQuotes = false;
  for (std::size_t i = 0; i < address.size(); ++i) {
    const auto c = static_cast<unsigned char>(address[i]);
    if (c < 0x20 || c == 0x7F || c == '<' || c == '>') return false;
    if (c == '"') {
      inQuotes = !inQuotes;
    } else if (c == '\\' && inQuotes && i + 1 < address.size()) {
      ++i;  // the escaped character, checked as any other
      const auto e = static_cast<unsigned char>(address[i]);
      if (e < 0x20 || e == 0x7F || e == '<' || e == '>') return false;
    } else if (!inQuotes && (c == ' ' || c == ',' || c == ';')) {
      return false;
    }
  }
  return !inQuotes;
}

std::string FormatMailbox(const TMailAddressStruct& mailbox) {
  if (mailbox.DisplayName.empty()) return mailbox.Address;
  std::string out;
  const std::string& name = mailbox.DisplayName;
  if (NeedsEncoding(name) || HasOverlongWord(name)) {
    out = EncodeWords(name);
  } else {
    bool plain = true;
    for (const char c : name) plain = plain && IsAtomText(c);
    if (plain) {
      out = name;
    } else {
      out += '"';
      for (const char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
      }
      out += '"';
    }
  }
  out += " <";
  out += mailbox.Address;
  out += '>';
  return out;
}

}  // namespace eqd
