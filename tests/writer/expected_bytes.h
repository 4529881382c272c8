#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Builds expected file contents by hand, independently of the writer: every
// value is shifted out little-endian here, and the tests spell out the padding.
class ExpectedBytes {
public:
    ExpectedBytes& text(const char* characters) {
        bytes_.insert(bytes_.end(), characters, characters + std::strlen(characters));
        return *this;
    }
    ExpectedBytes& zeros(size_t count) {
        bytes_.insert(bytes_.end(), count, 0);
        return *this;
    }
    ExpectedBytes& u16(uint16_t value) {
        bytes_.push_back(static_cast<uint8_t>(value & 0xFF));
        bytes_.push_back(static_cast<uint8_t>(value >> 8));
        return *this;
    }
    ExpectedBytes& u32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
        return *this;
    }
    ExpectedBytes& f32(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        return u32(bits);
    }
    ExpectedBytes& hex(const char* digits) {
        for (const char* p = digits; *p != '\0';) {
            if (*p == ' ') {
                ++p;
                continue;
            }
            bytes_.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
            p += 2;
        }
        return *this;
    }
    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};
