// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Measures encryptText and decryptText on a 4 MiB English-like text with key
// "4" against two yardsticks from the same run: copying a buffer the size of
// the cipher text (the memory-bandwidth floor) and the 61 plain whole-text
// replacements built on replaceAll; the same for the passes over bytes (the
// text as UTF-8) and for the portable decryption walk. Each fast figure is the
// least CPU time of several repetitions, since on a shared machine other work
// only ever adds to it. Prints the ratios after the table.

#include "passkernels.h"
#include "reference.h"

#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <kelvane/substitution.h>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace kelvane;

constexpr std::size_t textUnits = 4 * 1024 * 1024;

// Returns a text of `units` characters that reads like English prose: words of
// common lengths, capitals after full stops, commas, questions and paragraphs.
std::u16string englishLikeText(std::size_t units)
{
    static constexpr std::array<std::u16string_view, 24> words = {
        u"the",   u"of",     u"and",   u"to",      u"a",       u"in",     u"is",    u"it",
        u"that",  u"was",    u"for",   u"with",    u"window",  u"text",   u"key",   u"letter",
        u"their", u"before", u"quiet", u"harbour", u"morning", u"silver", u"(see)", u"\"said\""};
    std::mt19937 rng(4);
    std::uniform_int_distribution<std::size_t> pickWord(0, words.size() - 1);
    std::uniform_int_distribution<int> chance(0, 99);
    std::u16string text;
    text.reserve(units + 16);
    bool capital = true;
    while (text.size() < units) {
        std::u16string word(words[pickWord(rng)]);
        if (capital && word[0] >= u'a' && word[0] <= u'z')
            word[0] = static_cast<char16_t>(word[0] - u'a' + u'A');
        text += word;
        capital = false;
        const int c = chance(rng);
        if (c < 6) {
            text += u". ";
            capital = true;
        } else if (c < 7) {
            text += u"?\n\n";
            capital = true;
        } else if (c < 12) {
            text += u", ";
        } else {
            text += u' ';
        }
    }
    text.resize(units);
    return text;
}

const Codebook& keyFour()
{
    return *findCodebook(u"4");
}

const std::u16string& plain()
{
    static const std::u16string text = englishLikeText(textUnits);
    return text;
}

const std::u16string& cipher()
{
    static const std::u16string text = encryptText(plain(), keyFour());
    return text;
}

// The text and its cipher text as bytes: the text is ASCII, so this is UTF-8.
const std::string& plainBytes()
{
    static const std::string text(plain().begin(), plain().end());
    return text;
}

const std::string& cipherBytes()
{
    static const std::string text = encryptText(plainBytes(), keyFour());
    return text;
}

void setBytes(benchmark::State& state, std::size_t units, std::size_t unitSize = sizeof(char16_t))
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(units * unitSize));
}

void copyCipherSizedBuffer(benchmark::State& state)
{
    for (auto _ : state) {
        std::u16string copy(cipher());
        benchmark::DoNotOptimize(copy.data());
    }
    setBytes(state, cipher().size());
}

void encrypt(benchmark::State& state)
{
    for (auto _ : state) {
        auto result = encryptText(plain(), keyFour());
        benchmark::DoNotOptimize(result.data());
    }
    setBytes(state, plain().size());
}

void decrypt(benchmark::State& state)
{
    for (auto _ : state) {
        auto result = decryptText(cipher(), keyFour());
        benchmark::DoNotOptimize(result.data());
    }
    setBytes(state, cipher().size());
}

void decryptPortable(benchmark::State& state)
{
    for (auto _ : state) {
        auto result = detail::transformAll<char16_t>(cipher(), keyFour(), Direction::decrypt,
                                                     detail::Isa::portable);
        benchmark::DoNotOptimize(result.data());
    }
    setBytes(state, cipher().size());
}

void copyCipherSizedBytes(benchmark::State& state)
{
    for (auto _ : state) {
        std::string copy(cipherBytes());
        benchmark::DoNotOptimize(copy.data());
    }
    setBytes(state, cipherBytes().size(), 1);
}

void encryptBytes(benchmark::State& state)
{
    for (auto _ : state) {
        auto result = encryptText(plainBytes(), keyFour());
        benchmark::DoNotOptimize(result.data());
    }
    setBytes(state, plainBytes().size(), 1);
}

void decryptBytes(benchmark::State& state)
{
    for (auto _ : state) {
        auto result = decryptText(cipherBytes(), keyFour());
        benchmark::DoNotOptimize(result.data());
    }
    setBytes(state, cipherBytes().size(), 1);
}

void encryptBySixtyOneSteps(benchmark::State& state)
{
    const auto pass = encryptionPass(keyFour());
    for (auto _ : state) {
        auto result = runPass(plain(), pass);
        benchmark::DoNotOptimize(result.data());
    }
    setBytes(state, plain().size());
}

void decryptBySixtyOneSteps(benchmark::State& state)
{
    const auto pass = decryptionPass(keyFour());
    for (auto _ : state) {
        auto result = runPass(cipher(), pass);
        benchmark::DoNotOptimize(result.data());
    }
    setBytes(state, cipher().size());
}

double least(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

#define KELVANE_FAST_BENCHMARK(name)                                                               \
    BENCHMARK(name)                                                                                \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->MinTime(0.3)                                                                             \
        ->Repetitions(5)                                                                           \
        ->ComputeStatistics("min", least)                                                          \
        ->ReportAggregatesOnly(true)

KELVANE_FAST_BENCHMARK(copyCipherSizedBuffer);
KELVANE_FAST_BENCHMARK(encrypt);
KELVANE_FAST_BENCHMARK(decrypt);
KELVANE_FAST_BENCHMARK(decryptPortable);
KELVANE_FAST_BENCHMARK(copyCipherSizedBytes);
KELVANE_FAST_BENCHMARK(encryptBytes);
KELVANE_FAST_BENCHMARK(decryptBytes);
BENCHMARK(encryptBySixtyOneSteps)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(decryptBySixtyOneSteps)->Unit(benchmark::kMillisecond)->Iterations(1);

// Console output as usual, keeping each benchmark's least CPU time per iteration.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (single || run.aggregate_name == "min")
                seconds_[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    bool complete() const { return seconds_.size() == 9; }

    // Prints each fast pass against the copy and against its 61-step reference.
    void printRatios() const
    {
        const auto at = [this](const char* name) { return seconds_.at(name); };
        std::printf("\ntext: %zu units; cipher text: %zu units (key \"4\"); least CPU times\n",
                    plain().size(), cipher().size());
        std::printf("encryptText: %.2fx the copy, %.0fx faster than the 61 steps\n",
                    at("encrypt") / at("copyCipherSizedBuffer"),
                    at("encryptBySixtyOneSteps") / at("encrypt"));
        std::printf("decryptText: %.2fx the copy, %.0fx faster than the 61 steps "
                    "(portable walk: %.2fx the copy)\n",
                    at("decrypt") / at("copyCipherSizedBuffer"),
                    at("decryptBySixtyOneSteps") / at("decrypt"),
                    at("decryptPortable") / at("copyCipherSizedBuffer"));
        std::printf("over bytes (UTF-8): encrypt %.2fx, decrypt %.2fx a copy of the cipher bytes\n",
                    at("encryptBytes") / at("copyCipherSizedBytes"),
                    at("decryptBytes") / at("copyCipherSizedBytes"));
    }

private:
    std::map<std::string, double> seconds_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.complete())
        reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
