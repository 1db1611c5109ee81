#include "cataloging/testsupport/ArchiveBuilders.h"

#include <algorithm>

namespace cataloging::testsupport {

using platform::PutUInt16;
using platform::PutUInt32;

namespace {

void Put16(TBytes& B, size_t At, uint16_t V) {
    if (B.size() < At + 2) B.resize(At + 2);
    PutUInt16(B.data() + At, V);
}
void Put32(TBytes& B, size_t At, uint32_t V) {
    if (B.size() < At + 4) B.resize(At + 4);
    PutUInt32(B.data() + At, V);
}
void Append(TBytes& B, const std::string& S) {
    B.insert(B.end(), S.begin(), S.end());
}
void Append(TBytes& B, const TBytes& S) {
    B.insert(B.end(), S.begin(), S.end());
}
TBytes Data(uint32_t N) {
    TBytes d(N);
    for (uint32_t i = 0; i < N; ++i) d[i] = static_cast<uint8_t>(0x30 + i % 7);
    return d;
}
TBytes Field(const std::string& S, size_t N) {
    TBytes f(N, 0);
    std::copy_n(S.begin(), std::min(S.size(), N), f.begin());
    return f;
}

}  // namespace

uint16_t DosDate(int Year, int Month, int Day) {
    return static_cast<uint16_t>((Year - 1980) << 9 | Month << 5 | Day);
}
uint16_t DosTime(int Hour, int Min, int Sec) {
    return static_cast<uint16_t>(Hour << 11 | Min << 5 | Sec / 2);
}

TBytes ArcArchive(const std::vector<TMember>& Members, bool WithEnd) {
    TBytes b;
    for (const TMember& m : Members) {
        TBytes h = Field(m.Name, 13);
        Put32(h, 13, m.Packed);
        Put16(h, 17, m.Date);
        Put16(h, 19, m.Time);
        Put16(h, 21, 0);
        Put32(h, 23, m.Size);
        b.push_back(0x1A);
        b.push_back(8);
        Append(b, h);
        Append(b, Data(m.Packed));
    }
    if (WithEnd) Append(b, TBytes{0x1A, 0});
    return b;
}

TBytes HypArchive(const std::vector<TMember>& Members) {
    TBytes b;
    for (const TMember& m : Members) {
        TBytes h(21, 0);
        h[0] = 'S';
        h[1] = 'T';
        Put32(h, 3, m.Packed);
        Put32(h, 7, m.Size);
        Put16(h, 11, m.Time);
        Put16(h, 13, m.Date);
        h[19] = static_cast<uint8_t>(m.Attribute);
        h[20] = static_cast<uint8_t>(m.Name.size());
        b.push_back(0x1A);
        Append(b, h);
        Append(b, m.Name);
        Append(b, Data(m.Packed));
    }
    return b;
}

TBytes LzhArchive(const std::vector<TMember>& Members) {
    TBytes b;
    for (const TMember& m : Members) {
        TBytes h(22, 0);
        h[0] = static_cast<uint8_t>(20 + m.Name.size() + 2);  // bytes from offset 2, with a CRC after the name
        std::copy_n("-lh5-", 5, h.begin() + 2);
        Put32(h, 7, m.Packed);
        Put32(h, 11, m.Size);
        Put16(h, 15, m.Time);
        Put16(h, 17, m.Date);
        h[19] = static_cast<uint8_t>(m.Attribute);
        h[21] = static_cast<uint8_t>(m.Name.size());
        Append(b, h);
        Append(b, m.Name);
        Append(b, TBytes{0, 0});  // CRC
        Append(b, Data(m.Packed));
    }
    b.push_back(0);
    return b;
}

TBytes SqzArchive(const std::vector<TMember>& Members) {
    TBytes b{'H', 'L', 'S', 'Q', 'Z', '1', '0', 0};
    // A special block before the members.
    Append(b, TBytes{1, 3, 0, 'x', 'y', 'z'});
    for (const TMember& m : Members) {
        TBytes h(19, 0);
        Put32(h, 2, m.Packed);
        Put32(h, 6, m.Size);
        Put16(h, 10, m.Time);
        Put16(h, 12, m.Date);
        h[14] = static_cast<uint8_t>(m.Attribute);
        b.push_back(static_cast<uint8_t>(18 + m.Name.size()));
        Append(b, h);
        Append(b, m.Name);
        Append(b, Data(m.Packed));
    }
    b.push_back(0);
    return b;
}

TBytes ZooArchive(const std::vector<TMember>& Members) {
    constexpr uint32_t tag = 0xFDC4A7DC;
    TBytes b = Field("ZOO 2.10 Archive.\x1A", 20);
    Put32(b, 20, tag);
    Put32(b, 24, 34);
    b.resize(34, 0);
    // Entries first, each 58 bytes plus its data; the comments after the last, empty entry.
    std::vector<size_t> entryAt;
    for (const TMember& m : Members) {
        entryAt.push_back(b.size());
        b.resize(b.size() + 58, 0);
        Append(b, Data(m.Packed));
    }
    const size_t last = b.size();
    b.resize(b.size() + 58, 0);
    Put32(b, last, tag);
    for (size_t i = 0; i < Members.size(); ++i) {
        const TMember& m = Members[i];
        const size_t e = entryAt[i];
        Put32(b, e, tag);
        Put32(b, e + 6, static_cast<uint32_t>(i + 1 < Members.size() ? entryAt[i + 1] : last));
        Put16(b, e + 14, m.Date);
        Put16(b, e + 16, m.Time);
        Put32(b, e + 20, m.Size);
        Put32(b, e + 24, m.Packed);
        const TBytes name = Field(m.Name, 13);
        std::copy(name.begin(), name.end(), b.begin() + static_cast<long>(e + 38));
        if (!m.Comment.empty()) {
            Put32(b, e + 32, static_cast<uint32_t>(b.size()));
            Put16(b, e + 36, static_cast<uint16_t>(m.Comment.size()));
            Append(b, m.Comment);
        }
    }
    return b;
}

TBytes ArjArchive(const std::string& MainComment, const std::vector<TMember>& Members) {
    TBytes b;
    const auto header = [&b](const std::string& Name, const std::string& Comment, const TMember* M) {
        TBytes fixed(30, 0);
        fixed[0] = 30;  // first header size
        if (M) {
            Put16(fixed, 8, M->Time);
            Put16(fixed, 10, M->Date);
            Put32(fixed, 12, M->Packed);
            Put32(fixed, 16, M->Size);
        }
        TBytes basic = fixed;
        Append(basic, Name);
        basic.push_back(0);
        Append(basic, Comment);
        basic.push_back(0);
        Append(b, TBytes{0x60, 0xEA});
        TBytes size;
        Put16(size, 0, static_cast<uint16_t>(basic.size()));
        Append(b, size);
        Append(b, basic);
        Append(b, TBytes{0, 0, 0, 0});  // CRC
        Append(b, TBytes{0, 0});        // no extended header
        if (M) Append(b, Data(M->Packed));
    };
    header("ARCHIVE.ARJ", MainComment, nullptr);
    for (const TMember& m : Members) header(m.Name, m.Comment, &m);
    Append(b, TBytes{0x60, 0xEA, 0, 0});
    return b;
}

TBytes RarArchive(const std::vector<TMember>& Members, const TBytes& Tail) {
    TBytes b{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    Append(b, TBytes{0, 0, 0x73, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0});  // archive header
    for (const TMember& m : Members) {
        TBytes h(32, 0);
        h[2] = 0x74;
        Put16(h, 3, 0x8000);
        Put16(h, 5, static_cast<uint16_t>(32 + m.Name.size()));
        Put32(h, 7, m.Packed);
        Put32(h, 11, m.Size);
        Put32(h, 20, static_cast<uint32_t>(m.Date) << 16 | m.Time);
        Put16(h, 26, static_cast<uint16_t>(m.Name.size()));
        Put32(h, 28, m.Attribute);
        Append(b, h);
        Append(b, m.Name);
        Append(b, Data(m.Packed));
    }
    Append(b, Tail);
    return b;
}

TBytes DwcArchive(const std::vector<TMember>& Members) {
    TBytes b;
    TBytes dir;
    for (const TMember& m : Members) {
        TBytes e = Field(m.Name, 13);
        Put32(e, 13, m.Size);
        Put32(e, 17, 781012800);  // 1 October 1994 12:00 UTC
        Put32(e, 21, m.Packed);
        Put32(e, 25, static_cast<uint32_t>(b.size()));
        e.resize(34, 0);
        e[30] = static_cast<uint8_t>(m.Comment.size());
        Append(b, Data(m.Packed));
        Append(b, m.Comment);
        Append(dir, e);
    }
    Append(b, dir);
    TBytes t(27, 0);
    Put32(t, 20, static_cast<uint32_t>(Members.size()));
    std::copy_n("DWC", 3, t.begin() + 24);
    Append(b, t);
    return b;
}

TBytes LbrArchive(int16_t DirSectors, const std::vector<TMember>& Members) {
    TBytes b(32, ' ');
    b[0] = 0;
    Put16(b, 12, 0);
    Put16(b, 14, static_cast<uint16_t>(DirSectors));
    b.resize(32, 0);
    for (size_t i = 12; i < 32; ++i)
        if (i >= 16) b[i] = 0;
    for (const TMember& m : Members) {
        TBytes r(32, 0);
        r[0] = m.Status;
        const TBytes name = Field(m.Name, 11);
        std::copy(name.begin(), name.end(), r.begin() + 1);
        Put16(r, 14, static_cast<uint16_t>(m.Size));
        Put16(r, 18, static_cast<uint16_t>(m.Packed));
        Put16(r, 22, m.Time);
        r[26] = static_cast<uint8_t>(m.Attribute);
        Append(b, r);
    }
    return b;
}

}  // namespace cataloging::testsupport
