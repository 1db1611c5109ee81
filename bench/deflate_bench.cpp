// Inflate and deflate of the codecs' stream engine beside zlib on the same data: a text corpus
// and a binary corpus taken from the machine's own files. Reports MB/s (bytes_per_second) and the
// compressed ratio; inflate is meant to stay within 1.5x of zlib's time.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "codecs/deflate/DeflateEngine.h"
#include "framework/core/Stream.h"

namespace {

std::string ReadUpTo(const std::filesystem::path& path, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    std::string s(limit, '\0');
    in.read(s.data(), static_cast<std::streamsize>(limit));
    s.resize(static_cast<size_t>(in.gcount()));
    return s;
}

// About 8 MB gathered from a folder's files, or repeated text when the folder is missing.
std::string Corpus(const char* folder, bool text) {
    std::string data;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator() && data.size() < (8u << 20);
         it.increment(ec)) {
        if (ec || !it->is_regular_file(ec)) continue;
        std::string part = ReadUpTo(it->path(), 1u << 20);
        if (text && part.find('\0') != std::string::npos) continue;
        data += part;
    }
    while (data.size() < (1u << 20)) data += "no corpus folder here, so a plain line of text stands in\n";
    return data;
}

const std::string& TextCorpus() {
    static const std::string s = Corpus("/usr/share/doc", true);
    return s;
}
const std::string& BinaryCorpus() {
    static const std::string s = Corpus("/usr/lib/x86_64-linux-gnu", false);
    return s;
}
const std::string& Input(int which) {
    return which == 0 ? TextCorpus() : BinaryCorpus();
}

std::string ZlibDeflate(const std::string& in, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(compressBound(static_cast<uLong>(in.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Writes into a buffer allocated once, as zlib's side of the comparison does.
class TFlatSink : public framework::TStream {
public:
    explicit TFlatSink(size_t capacity) : FData(capacity, '\0') {}
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* buffer, int32_t count) override {
        if (FPos + size_t(count) > FData.size()) return 0;
        std::memcpy(FData.data() + FPos, buffer, size_t(count));
        FPos += size_t(count);
        return count;
    }
    int64_t Seek(int64_t offset, framework::TSeekOrigin origin) override {
        if (origin == framework::soFromBeginning) FPos = size_t(offset);
        return int64_t(FPos);
    }

private:
    std::string FData;
    size_t FPos = 0;
};

std::string OurDeflate(const std::string& in) {
    framework::TStringStream src(in), dst;
    codecs::Deflate(&src, &dst, nullptr);
    return dst.DataString();
}

void BM_InflateOurs(benchmark::State& state) {
    const std::string& in = Input(static_cast<int>(state.range(0)));
    const std::string compressed = ZlibDeflate(in, 6);
    TFlatSink dst(in.size());
    for (auto _ : state) {
        framework::TStringStream src(compressed);
        dst.Seek(0, framework::soFromBeginning);
        benchmark::DoNotOptimize(codecs::Inflate(&src, &dst, nullptr));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}

void BM_InflateZlib(benchmark::State& state) {
    const std::string& in = Input(static_cast<int>(state.range(0)));
    const std::string compressed = ZlibDeflate(in, 6);
    std::string out(in.size(), '\0');
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
        z.avail_in = static_cast<uInt>(compressed.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        inflate(&z, Z_FINISH);
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(z.total_out));
        benchmark::DoNotOptimize(crc);
        inflateEnd(&z);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}

void BM_DeflateOurs(benchmark::State& state) {
    const std::string& in = Input(static_cast<int>(state.range(0)));
    size_t size = 0;
    for (auto _ : state) size = OurDeflate(in).size();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
    state.counters["ratio"] = double(size) / double(in.size());
}

void BM_DeflateZlib(benchmark::State& state) {
    const std::string& in = Input(static_cast<int>(state.range(0)));
    size_t size = 0;
    for (auto _ : state) size = ZlibDeflate(in, 6).size();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
    state.counters["ratio"] = double(size) / double(in.size());
}

// Arguments: 0 text corpus, 1 binary corpus.
BENCHMARK(BM_InflateOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflateZlib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeflateOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeflateZlib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
