// OBJ parse throughput: the project's reader against tinyobjloader (Debian's general OBJ
// library, used here only as a reference) and against a plain fread + std::from_chars loop
// over the same file, all measured in the same run so that the ratios hold for this machine
// and its current load. The ~50 MB mesh (a wavy grid of triangles with texture coordinates and
// normals) is generated into a temporary directory when the program starts.

#include "CollectingReporter.h"
#include "skin/ObjFile.h"

#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct GeneratedObj {
    std::filesystem::path directory;
    std::string path;
    std::size_t bytes = 0;
    std::size_t vertices = 0;
    std::size_t faces = 0;
};

GeneratedObj& generatedObj()
{
    static GeneratedObj obj;
    return obj;
}

void appendNumber(std::string& out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    out.append(buffer, result.ptr);
}

// side x side vertices, two triangles per grid cell, every corner v/vt/vn.
void writeGrid(GeneratedObj& obj, unsigned side)
{
    obj.directory = std::filesystem::temp_directory_path() / ("flexherd-objbench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(obj.directory);
    obj.path = (obj.directory / "grid.obj").string();
    std::string text;
    text.reserve(std::size_t(side) * side * 220);
    text += "# generated grid\ng grid\n";
    for (unsigned y = 0; y < side; ++y)
        for (unsigned x = 0; x < side; ++x) {
            const double u = double(x) / (side - 1), v = double(y) / (side - 1);
            const double h = 0.25 * std::sin(12.0 * u) * std::cos(9.0 * v);
            text += "v ";
            appendNumber(text, 100.0 * u - 50.0);
            text += ' ';
            appendNumber(text, h);
            text += ' ';
            appendNumber(text, 100.0 * v - 50.0);
            text += "\nvt ";
            appendNumber(text, u);
            text += ' ';
            appendNumber(text, v);
            text += "\nvn ";
            const double nx = -3.0 * std::cos(12.0 * u) * std::cos(9.0 * v) / 100.0;
            const double nz = 2.25 * std::sin(12.0 * u) * std::sin(9.0 * v) / 100.0;
            const double length = std::sqrt(nx * nx + 1.0 + nz * nz);
            appendNumber(text, nx / length);
            text += ' ';
            appendNumber(text, 1.0 / length);
            text += ' ';
            appendNumber(text, nz / length);
            text += '\n';
        }
    const auto corner = [&](unsigned index) {
        const std::string n = std::to_string(index + 1);
        text += ' ' + n + '/' + n + '/' + n;
    };
    for (unsigned y = 0; y + 1 < side; ++y)
        for (unsigned x = 0; x + 1 < side; ++x) {
            const unsigned a = y * side + x, b = a + 1, c = a + side + 1, d = a + side;
            text += 'f';
            corner(a), corner(b), corner(c);
            text += "\nf";
            corner(a), corner(c), corner(d);
            text += '\n';
            obj.faces += 2;
        }
    obj.vertices = std::size_t(side) * side;
    obj.bytes = text.size();
    std::ofstream(obj.path, std::ios::binary) << text;
}

void ourReader(benchmark::State& state)
{
    const GeneratedObj& obj = generatedObj();
    // The reader's progress lines are not what is measured.
    std::streambuf* previous = std::cerr.rdbuf(nullptr);
    for (auto _ : state) {
        const ObjFile file(obj.path);
        if (file.vertexCount() != obj.vertices || file.faceCount() != obj.faces) state.SkipWithError("wrong counts");
        benchmark::DoNotOptimize(file.vertices().data());
    }
    std::cerr.rdbuf(previous);
    state.SetBytesProcessed(std::int64_t(obj.bytes) * state.iterations());
}

void tinyObjLoader(benchmark::State& state)
{
    const GeneratedObj& obj = generatedObj();
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, obj.path.c_str(), nullptr, false) ||
            attrib.vertices.size() != 3 * obj.vertices)
            state.SkipWithError("tinyobjloader failed");
        benchmark::DoNotOptimize(attrib.vertices.data());
    }
    state.SetBytesProcessed(std::int64_t(generatedObj().bytes) * state.iterations());
}

// The floor of any text reader: the file read in one go, then every number of it parsed.
void plainFromChars(benchmark::State& state)
{
    const GeneratedObj& obj = generatedObj();
    for (auto _ : state) {
        std::FILE* file = std::fopen(obj.path.c_str(), "rb");
        std::string bytes(obj.bytes, '\0');
        const std::size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        double sum = 0.0;
        std::size_t numbers = 0;
        const char* p = bytes.data();
        const char* end = p + read;
        while (p < end) {
            const char c = *p;
            if ((c >= '0' && c <= '9') || c == '-') {
                double value;
                const auto result = std::from_chars(p, end, value);
                sum += value;
                ++numbers;
                p = result.ptr;
            } else {
                ++p;
            }
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(numbers);
    }
    state.SetBytesProcessed(std::int64_t(obj.bytes) * state.iterations());
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    writeGrid(generatedObj(), 490);
    benchmark::RegisterBenchmark("ObjFile", ourReader)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
    benchmark::RegisterBenchmark("TinyObjLoader", tinyObjLoader)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
    benchmark::RegisterBenchmark("PlainFromChars", plainFromChars)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::filesystem::remove_all(generatedObj().directory);

    const double ours = reporter.rate("ObjFile");
    const double tiny = reporter.rate("TinyObjLoader");
    const double plain = reporter.rate("PlainFromChars");
    std::printf("\nSummary (file %.1f MB, %zu vertices, %zu triangles)\n", double(generatedObj().bytes) / 1e6,
                generatedObj().vertices, generatedObj().faces);
    if (ours > 0 && tiny > 0)
        std::printf("  %-34s %8.1f / %8.1f MB/s = %5.2fx  (target >= 2.0x: %s)\n", "ObjFile / tinyobjloader", ours,
                    tiny, ours / tiny, ours / tiny >= 2.0 ? "met" : "MISSED");
    if (ours > 0 && plain > 0)
        std::printf("  %-34s %8.1f / %8.1f MB/s = %5.2fx\n", "ObjFile / fread + from_chars", ours, plain,
                    ours / plain);
    benchmark::Shutdown();
    return 0;
}
