#include "http/response_decoding.h"

#include "core/codepage.h"
#include "platform/apartment.h"
#include "platform/text_stream.h"
#include "regex/regex_object.h"
#include "ui/toolkit.h"

namespace http {

using core::Text;

namespace {
constexpr int CHARSET_SNIFF_LENGTH = 1024;
const Text kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";
}  // namespace

Text decode_response_text(const core::ByteBuffer& body, regex::RegexObject& regex) {
  Text text = Text::from_bytes(body);
  platform::co_initialize();
  const Text head = text.left(CHARSET_SNIFF_LENGTH);
  if (regex.execute(kCharsetPattern, head)) {
    const Text charset = regex.submatch_text(1, 1);
    if (!charset.empty() && charset != Text("gbk") && charset != Text("gb2312")) {
      if (auto stream = platform::TextStream::create()) {
        stream->set_type(platform::TextStream::TYPE_BINARY);
        stream->set_mode(platform::TextStream::MODE_READ_WRITE);
        stream->open();
        stream->write(body);
        stream->set_position(0);
        stream->set_type(platform::TextStream::TYPE_TEXT);
        stream->set_charset(charset.view());
        if (const auto decoded = stream->read_text()) text = core::utf16_to_gbk(*decoded);
        stream->close();
      }
    }
    ui::process_pending_events();
  }
  platform::co_uninitialize();
  return text;
}

}  // namespace http
