#include "formats/msgpack_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/byte_order.h"
#include "platform/format.h"

namespace Zarvo {
namespace {

// An open array or map. Frames live on the heap, so nesting depth costs no stack.
struct Frame {
    BindingProperty* container;
    bool map;
    uint64_t announced;  // elements, or entries of a map
    uint64_t consumed = 0;
};

class MessagePackDecoder {
public:
    MessagePackDecoder(const uint8_t* data, size_t size, BindingResult& result)
        : data_(data), size_(size), result_(result), reserveBudget_(size) {
        frames_.reserve(16);
    }

    // Reads the root, then the items of the innermost open container until a complete value is read, the input
    // ends or an error stops it. A map's entry is read as its key and then its value, whose member is made only
    // once the value's first byte is there.
    size_t Run() {
        for (BindingProperty* slot = &result_.value; slot && ReadValue(*slot);) slot = NextSlot();
        return position_;
    }

private:
    // The property the next value goes into, made here; null once a complete value is read, the input ends or an
    // error stops the decoding.
    BindingProperty* NextSlot() {
        while (!frames_.empty() && position_ < size_) {
            Frame& top = frames_.back();
            if (top.consumed == top.announced) {
                frames_.pop_back();
                continue;
            }
            uint64_t item = top.consumed++;
            if (!top.map) return &top.container->Element(static_cast<size_t>(item));
            std::string_view key;
            if (!ReadKey(key) || position_ == size_) return nullptr;
            return &top.container->ChildForWrite(key);
        }
        return nullptr;
    }

    void Fail(std::string message) { result_.SetError(message); }

    bool ReadBigEndian(unsigned width, uint64_t& value) {
        if (size_ - position_ < width) {
            static const char* const messages[] = {
                "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.",
                "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.",
                "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.",
                "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.",
            };
            Fail(FormatString(messages[std::countr_zero(width)], static_cast<uint64_t>(position_)));
            return false;
        }
        value = LoadBigEndian(data_ + position_, width);
        position_ += width;
        return true;
    }

    // One load per value rather than one per byte.
    static uint64_t LoadBigEndian(const uint8_t* bytes, unsigned width) {
        switch (width) {
            case 1: return bytes[0];
            case 2: return FromBigEndian<uint16_t>(bytes);
            case 4: return FromBigEndian<uint32_t>(bytes);
            default: return FromBigEndian<uint64_t>(bytes);
        }
    }

    template <class Word>
    static uint64_t FromBigEndian(const uint8_t* bytes) {
        Word word;
        std::memcpy(&word, bytes, sizeof word);
        if constexpr (std::endian::native == std::endian::little) {
            if constexpr (sizeof word == 2) word = ByteSwap16(word);
            else if constexpr (sizeof word == 4) word = ByteSwap32(word);
            else word = ByteSwap64(word);
        }
        return word;
    }

    bool ReadLength(unsigned width, uint64_t& length) { return ReadBigEndian(width, length); }

    bool ReadText(uint64_t length, std::string_view& text) {
        if (length > size_ - position_) {
            Fail(FormatString("Invalid MessagePack data. String of size %1 at position %2 is truncated.", length,
                              static_cast<uint64_t>(position_)));
            return false;
        }
        text = {reinterpret_cast<const char*>(data_ + position_), static_cast<size_t>(length)};
        position_ += static_cast<size_t>(length);
        return true;
    }

    // Width in bytes of the length field of str 8/16/32, bin 8/16/32, array 16/32 and map 16/32.
    static unsigned LengthWidth(uint8_t type) {
        switch (type) {
            case 0xC4: case 0xD9: return 1;
            case 0xC5: case 0xDA: case 0xDC: case 0xDE: return 2;
            default: return 4;
        }
    }

    bool ReadKey(std::string_view& key) {
        uint8_t type = data_[position_++];
        uint64_t length = type & 0x1F;
        if ((type < 0xA0 || type > 0xBF) && (type < 0xD9 || type > 0xDB)) {
            Fail(FormatString("Invalid MessagePack data at position %1. Map keys must be strings.",
                              static_cast<uint64_t>(position_)));
            return false;
        }
        if (type >= 0xD9 && !ReadLength(LengthWidth(type), length)) return false;
        return ReadText(length, key);
    }

    // A container replaces what the slot held. Room for its elements or members is made up front, but never for
    // more than the bytes left could fill (a member takes at least two), nor for more in all than the input has
    // bytes.
    void OpenContainer(BindingProperty& slot, bool map, uint64_t items) {
        slot.Clear();
        if (map) slot.MakeStructure();
        else slot.MakeCollection();
        size_t room = static_cast<size_t>(std::min<uint64_t>({items, (size_ - position_) / (map ? 2 : 1), reserveBudget_}));
        slot.Reserve(room);
        reserveBudget_ -= room;
        frames_.push_back({&slot, map, items});
    }

    // False once the decoding failed.
    bool ReadValue(BindingProperty& slot) {
        uint8_t type = data_[position_++];
        uint64_t number = 0;
        if (type <= 0x7F) {
            slot.SetSigned(type);
        } else if (type <= 0x8F) {
            OpenContainer(slot, true, type & 0x0F);
        } else if (type <= 0x9F) {
            OpenContainer(slot, false, type & 0x0F);
        } else if (type <= 0xBF || (type >= 0xD9 && type <= 0xDB)) {
            uint64_t length = type & 0x1F;
            std::string_view text;
            if (type >= 0xD9 && !ReadLength(LengthWidth(type), length)) return false;
            if (!ReadText(length, text)) return false;
            slot.SetString(text);
        } else if (type >= 0xE0) {
            slot.SetSigned(static_cast<int8_t>(type));
        } else {
            switch (type) {
                case 0xC0: slot.Clear(); break;
                case 0xC2: slot.SetBool(false); break;
                case 0xC3: slot.SetBool(true); break;
                case 0xC4: case 0xC5: case 0xC6:
                    if (!ReadLength(LengthWidth(type), number) || !ReadBytes(number, slot)) return false;
                    break;
                case 0xCA:
                    if (!ReadBigEndian(4, number)) return false;
                    slot.SetDouble(std::bit_cast<float>(static_cast<uint32_t>(number)));
                    break;
                case 0xCB:
                    if (!ReadBigEndian(8, number)) return false;
                    slot.SetDouble(std::bit_cast<double>(number));
                    break;
                case 0xCC: case 0xCD: case 0xCE: case 0xCF:
                    if (!ReadBigEndian(1u << (type - 0xCC), number)) return false;
                    slot.SetUnsigned(number);
                    break;
                case 0xD0: case 0xD1: case 0xD2: case 0xD3:
                    if (!ReadBigEndian(1u << (type - 0xD0), number)) return false;
                    slot.SetSigned(SignExtend(number, 8u << (type - 0xD0)));
                    break;
                case 0xDC: case 0xDD: case 0xDE: case 0xDF:
                    if (!ReadLength(LengthWidth(type), number)) return false;
                    OpenContainer(slot, type >= 0xDE, number);
                    break;
                default:  // 0xC1 (never used), ext and fixext
                    Fail(FormatString("Invalid MessagePack data at position %1.", static_cast<uint64_t>(position_)));
                    return false;
            }
        }
        return true;
    }

    bool ReadBytes(uint64_t length, BindingProperty& slot) {
        if (length > size_ - position_) {
            Fail(FormatString("Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.", length,
                              static_cast<uint64_t>(position_)));
            return false;
        }
        slot.SetBlob(data_ + position_, static_cast<size_t>(length));
        position_ += static_cast<size_t>(length);
        return true;
    }

    static int64_t SignExtend(uint64_t value, unsigned bits) {
        uint64_t sign = uint64_t{1} << (bits - 1);
        return static_cast<int64_t>((value ^ sign) - sign);
    }

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    BindingResult& result_;
    size_t reserveBudget_;
    std::vector<Frame> frames_;
};

}  // namespace

BindingResult DecodeMessagePack(const uint8_t* data, size_t size, size_t& consumed) {
    BindingResult result;
    consumed = size ? MessagePackDecoder(data, size, result).Run() : 0;
    return result;
}

bool LooksLikeMessagePack(const uint8_t* data, size_t size) {
    return size != 0 && ((data[0] >= 0x80 && data[0] <= 0x9F) || (data[0] >= 0xDC && data[0] <= 0xDF));
}

}  // namespace Zarvo
