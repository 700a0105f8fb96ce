// rawstats_bench: the benchmark driver behind `make bench`.
//
//   rawstats_bench run [--reference] quorva|veldix ARGS...
//       Runs the program in-process, as its command line would; --reference
//       computes the plain way (sample by sample, every spectrum value by
//       the literal kernel). Exit status: the program's.
//   rawstats_bench spectra [--length L] [--pairs P] [--acf]
//       Times the multi-line spectra of P random row pairs of length L: the
//       literal kernel step by step, then the fast kernels per instruction set
//       on one worker and on all; checks that every sum is the same.
#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "program_profiles.h"
#include "run/run_sequence.h"
#include "spectra/fast_spectrum.h"
#include "spectra/line_spectra.h"
#include "spectra/spectrum_engine.h"
#include "stats/parallel_work.h"

namespace {

int usage()
{
    std::fprintf(stderr,
                 "Usage: rawstats_bench run [--reference] quorva|veldix ARGS...\n"
                 "       rawstats_bench spectra [--length L] [--pairs P] [--acf]\n");
    return 2;
}

int run_program_in_process(int argc, char** argv)
{
    int i = 2;
    RunOptions options;
    if (i < argc && std::strcmp(argv[i], "--reference") == 0) {
        options.reference_path = true;
        ++i;
    }
    if (i >= argc)
        return usage();
    const std::string name = argv[i];
    const ProgramProfile* profile = name == "quorva" ? &quorva_profile() : name == "veldix" ? &veldix_profile() : nullptr;
    if (profile == nullptr)
        return usage();
    // The program sees its own name and the arguments after it.
    return run_program(*profile, argc - i, argv + i, stdout, options);
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const char* isa_name(SpectrumIsa isa)
{
    switch (isa) {
    case SpectrumIsa::portable: return "portable";
    case SpectrumIsa::avx2: return "avx2";
    case SpectrumIsa::avx512: return "avx512";
    default: return "best";
    }
}

int time_spectra(int argc, char** argv)
{
    int32_t length = 2048;
    int32_t pairs = 32;
    bool acf = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--acf")
            acf = true;
        else if (a == "--length" && i + 1 < argc)
            length = std::clamp(std::atoi(argv[++i]) & ~1, 2, 2 * line_capacity);
        else if (a == "--pairs" && i + 1 < argc)
            pairs = std::max(1, std::atoi(argv[++i]));
        else
            return usage();
    }
    const int32_t half = length / 2;
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(1000.0, 30.0);
    std::vector<int32_t> lines(static_cast<size_t>(pairs) * 4 * line_capacity);
    for (int32_t& v : lines)
        v = static_cast<int32_t>(noise(rng));

    // The multi-line spectra of every pair, by an engine; returns the seconds.
    DirectionPlan plan;
    plan.length = length;
    plan.span = half;
    const KernelMode mode{acf, false};
    auto add_all = [&](SpectrumEngine& engine, MultiSums& sums) {
        PairSpectra spectra(engine, mode, plan, sums);
        const auto start = std::chrono::steady_clock::now();
        for (int32_t p = 0; p < pairs; ++p) {
            std::memcpy(spectra.next_pair(), &lines[static_cast<size_t>(p) * 4 * line_capacity],
                        sizeof(PairLines));
            spectra.pair_done();
        }
        spectra.finish();
        return seconds_since(start);
    };
    auto reference = std::make_unique<MultiSums>();
    const double literal = add_all(*make_spectrum_engine(EngineKind::literal), *reference);
    std::printf("spectra %s, length %d, %d pairs: literal kernel %.3f s (%.2f ms per pair)\n",
                acf ? "ACF" : "DFT", length, pairs, literal, 1000.0 * literal / pairs);

    int failures = 0;
    for (SpectrumIsa isa : {SpectrumIsa::portable, SpectrumIsa::avx2, SpectrumIsa::avx512}) {
        if (!spectrum_isa_available(isa))
            continue;
        for (int workers : {1, worker_count()}) {
            auto sums = std::make_unique<MultiSums>();
            const double fast = add_all(*make_fast_engine(workers, isa), *sums);
            const bool same = std::memcmp(sums->coef_sums, reference->coef_sums, sizeof sums->coef_sums) == 0;
            failures += same ? 0 : 1;
            std::printf("  fast %-8s %d worker%s %.3f s  speed-up %6.1f  %s\n", isa_name(isa), workers,
                        workers == 1 ? " " : "s", fast, literal / fast, same ? "identical" : "DIFFERENT");
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "run")
        return run_program_in_process(argc, argv);
    if (command == "spectra")
        return time_spectra(argc, argv);
    return usage();
}
