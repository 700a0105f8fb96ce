#include "spectra/spectrum_engine.h"

#include <vector>

#include "spectra/fast_spectrum.h"
#include "stats/parallel_work.h"

namespace {

class LiteralEngine : public SpectrumEngine {
public:
    void compute(bool autocorr, const SpectrumJob* jobs, int job_count) override
    {
        for (int t = 0; t < job_count; ++t) {
            const SpectrumJob& job = jobs[t];
            for (int32_t s = 0; s < job.count; ++s)
                for (int32_t j = 0; j < job.freqs; ++j) {
                    const LineSequence& x = job.sequences[s];
                    const int32_t f = job.first + j;
                    job.out[static_cast<size_t>(s) * job.freqs + j] =
                        autocorr ? autocovariance(x, job.length, f) : dft_magnitude(x, job.length, f);
                }
        }
    }
};

// The sequences are loaded into blocks made ready for the sweeps; a job's
// block is kept for the next call of the same shape (a run asks for the same
// shapes batch after batch).
class FastEngine : public SpectrumEngine {
public:
    FastEngine(int workers, SpectrumIsa isa)
        : workers_(workers),
          isa_(isa)
    {
    }

    void compute(bool autocorr, const SpectrumJob* jobs, int job_count) override
    {
        if (blocks_.size() < static_cast<size_t>(job_count))
            blocks_.resize(static_cast<size_t>(job_count));
        std::vector<SpectrumTask> tasks;
        for (int t = 0; t < job_count; ++t) {
            const SpectrumJob& job = jobs[t];
            std::unique_ptr<SequenceBlock>& block = blocks_[static_cast<size_t>(t)];
            if (!block || block->autocorr() != autocorr || block->length() != job.length ||
                block->capacity() < job.count)
                block = std::make_unique<SequenceBlock>(autocorr, job.length, job.count);
            for (int32_t s = 0; s < job.count; ++s)
                block->load(s, job.sequences[s]);
            tasks.push_back({block.get(), job.count, job.first, job.freqs, job.out});
        }
        compute_spectrum_tasks(tasks.data(), static_cast<int>(tasks.size()), workers_, isa_);
    }

private:
    int workers_;
    SpectrumIsa isa_;
    std::vector<std::unique_ptr<SequenceBlock>> blocks_;
};

}  // namespace

std::unique_ptr<SpectrumEngine> make_spectrum_engine(EngineKind kind)
{
    if (kind == EngineKind::literal)
        return std::make_unique<LiteralEngine>();
    return make_fast_engine(worker_count(), SpectrumIsa::best);
}

std::unique_ptr<SpectrumEngine> make_fast_engine(int workers, SpectrumIsa isa)
{
    return std::make_unique<FastEngine>(workers, isa);
}
