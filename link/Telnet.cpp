#include "link/Telnet.h"

namespace telnet {

size_t Decoder::Feed(const uint8_t* bytes, size_t length, uint8_t* data, const OnCommand& onCommand) {
  size_t written = 0;
  for (size_t i = 0; i < length; ++i) {
    const uint8_t b = bytes[i];
    switch (state_) {
      case State::Data:
        if (b == IAC) {
          state_ = State::Iac;
        } else {
          data[written++] = b;
        }
        break;
      case State::Iac:
        if (b == IAC) {
          data[written++] = IAC;
          state_ = State::Data;
        } else if (b == WILL || b == WONT || b == DO || b == DONT) {
          verb_ = b;
          state_ = State::Verb;
        } else if (b == SB) {
          payloadLength_ = 0;
          truncated_ = false;
          state_ = State::SubOption;
        } else {
          state_ = State::Data;  // a command of its own (NOP, GA, ...): nothing to do
        }
        break;
      case State::Verb:
        if (onCommand) onCommand(Command{verb_, b, nullptr, 0, false});
        state_ = State::Data;
        break;
      case State::SubOption:
        option_ = b;
        state_ = State::SubData;
        break;
      case State::SubData:
        if (b == IAC) {
          state_ = State::SubIac;
        } else if (payloadLength_ < MaxPayload) {
          payload_[payloadLength_++] = b;
        } else {
          truncated_ = true;
        }
        break;
      case State::SubIac:
        if (b == SE) {
          if (onCommand) onCommand(Command{SB, option_, payload_, payloadLength_, truncated_});
          state_ = State::Data;
        } else if (b == IAC) {
          if (payloadLength_ < MaxPayload) {
            payload_[payloadLength_++] = IAC;
          } else {
            truncated_ = true;
          }
          state_ = State::SubData;
        } else {
          // IAC and anything else inside a subnegotiation: the sender
          // broke it off; what follows is read afresh as a command.
          state_ = State::Iac;
          --i;
        }
        break;
    }
  }
  return written;
}

size_t Escape(const uint8_t* bytes, size_t length, uint8_t* out) {
  size_t written = 0;
  for (size_t i = 0; i < length; ++i) {
    out[written++] = bytes[i];
    if (bytes[i] == IAC) out[written++] = IAC;
  }
  return written;
}

}  // namespace telnet
