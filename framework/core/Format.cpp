// Format: the class library's printf-like text builder over TVarRec arguments.

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace framework {

namespace {

class Formatter {
public:
    Formatter(std::string_view format, std::initializer_list<TVarRec> args)
        : format_(format), args_(args.begin(), args.end()) {}

    std::string Run() {
        std::string out;
        std::size_t i = 0;
        while (i < format_.size()) {
            const char c = format_[i++];
            if (c != '%') {
                out += c;
                continue;
            }
            if (i >= format_.size()) Fail();
            if (format_[i] == '%') {
                out += '%';
                ++i;
                continue;
            }
            out += Specifier(i);
        }
        return out;
    }

private:
    [[noreturn]] void Fail() const {
        throw EConvertError("Format '" + std::string(format_) + "' invalid or incompatible with argument");
    }

    const TVarRec& Next() {
        if (next_ >= args_.size()) Fail();
        return args_[next_++];
    }

    // Digits or "*" at position i; -1 when neither is there.
    int Number(std::size_t& i) {
        if (i < format_.size() && format_[i] == '*') {
            ++i;
            const TVarRec& a = Next();
            if (a.Kind != TVarRec::vtInteger) Fail();
            return static_cast<int>(a.Int);
        }
        if (i >= format_.size() || format_[i] < '0' || format_[i] > '9') return -1;
        int n = 0;
        while (i < format_.size() && format_[i] >= '0' && format_[i] <= '9') {
            n = n * 10 + (format_[i++] - '0');
            if (n > 100000) Fail();
        }
        return n;
    }

    std::string Specifier(std::size_t& i) {
        // [index ":"] ["-"] [width] ["." precision] type
        int n = Number(i);
        if (i < format_.size() && format_[i] == ':') {
            if (n < 0) n = 0;  // "%:s" takes the first argument
            next_ = static_cast<std::size_t>(n);
            ++i;
            n = -1;
        }
        bool left = false;
        if (n < 0 && i < format_.size() && format_[i] == '-') {
            left = true;
            ++i;
        }
        const int width = n >= 0 ? n : Number(i);
        int precision = -1;
        if (i < format_.size() && format_[i] == '.') {
            ++i;
            precision = Number(i);
            if (precision < 0) Fail();
        }
        if (i >= format_.size()) Fail();
        const char type = static_cast<char>(format_[i++] | 0x20);  // types are read without regard to case
        std::string text = Convert(type, precision);
        if (width > 0 && static_cast<int>(text.size()) < width) {
            const std::string pad(static_cast<std::size_t>(width) - text.size(), ' ');
            text = left ? text + pad : pad + text;
        }
        return text;
    }

    static std::string MinDigits(std::string digits, int precision) {
        const bool negative = !digits.empty() && digits[0] == '-';
        const std::size_t count = digits.size() - negative;
        if (precision > 0 && count < static_cast<std::size_t>(precision))
            digits.insert(negative, static_cast<std::size_t>(precision) - count, '0');
        return digits;
    }

    std::string Convert(char type, int precision) {
        const TVarRec& a = Next();
        const bool integer = a.Kind == TVarRec::vtInteger || a.Kind == TVarRec::vtInt64;
        switch (type) {
            case 'd':
                if (!integer) Fail();
                return MinDigits(std::to_string(a.Int), precision);
            case 'u': {
                if (!integer) Fail();
                const uint64_t u = a.Kind == TVarRec::vtInteger ? uint64_t(static_cast<uint32_t>(a.Int))
                                                                : static_cast<uint64_t>(a.Int);
                return MinDigits(std::to_string(u), precision);
            }
            case 'x':
                if (!integer) Fail();
                return a.Kind == TVarRec::vtInteger ? IntToHex(static_cast<int32_t>(a.Int), precision)
                                                    : IntToHex(a.Int, precision);
            case 'p': {
                if (a.Kind != TVarRec::vtPointer) Fail();
                return IntToHex(static_cast<int64_t>(reinterpret_cast<uintptr_t>(a.Pointer)),
                                static_cast<int>(sizeof(void*) * 2));
            }
            case 's': {
                std::string text;
                if (a.Kind == TVarRec::vtString)
                    text = std::string(a.Text);
                else if (a.Kind == TVarRec::vtChar)
                    text = std::string(1, static_cast<char>(a.Int));
                else
                    Fail();
                if (precision >= 0 && static_cast<int>(text.size()) > precision)
                    text.resize(static_cast<std::size_t>(precision));
                return text;
            }
            case 'e':
                return Float(a, ffExponent, precision < 0 ? 15 : precision, 3);
            case 'f':
                return Float(a, ffFixed, 18, precision < 0 ? 2 : precision);
            case 'g':
                return Float(a, ffGeneral, precision < 0 ? 15 : precision, 3);
            case 'n':
                return Float(a, ffNumber, 18, precision < 0 ? 2 : precision);
            case 'm':
                return Float(a, ffCurrency, 18, precision < 0 ? CurrencyDecimals : precision);
            default:
                Fail();
        }
    }

    std::string Float(const TVarRec& a, TFloatFormat format, int precision, int digits) {
        if (a.Kind == TVarRec::vtExtended) return FloatToStrF(a.Float, format, precision, digits);
        if (a.Kind == TVarRec::vtCurrency) {
            if (format == ffGeneral || format == ffExponent)
                return FloatToStrF(Currency::FromRaw(a.Int).ToDouble(), format, precision, digits);
            return CurrToStrF(Currency::FromRaw(a.Int), format, digits);
        }
        Fail();
    }

    std::string_view format_;
    std::vector<TVarRec> args_;
    std::size_t next_ = 0;
};

}  // namespace

std::string Format(std::string_view format, std::initializer_list<TVarRec> args) {
    return Formatter(format, args).Run();
}

}  // namespace framework
