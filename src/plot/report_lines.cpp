#include "plot/report_lines.h"

#include <cstring>

namespace plot {

std::string_view trim_cell(std::string_view s)
{
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

namespace {

constexpr size_t chunk = 64 * 1024;

}  // namespace

ReportFile::ReportFile(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        state_ = State::missing;
        return;
    }
    // Checked before opening: opening a named pipe would wait for a writer.
    if (ec || status.type() != std::filesystem::file_type::regular) {
        state_ = ec ? State::unreadable : State::not_regular;
        return;
    }
    stream_.open(path, std::ios::binary);
    state_ = stream_.is_open() ? State::open : State::unreadable;
}

LineReader::LineReader(std::ifstream& file, uint64_t offset, int first_number)
    : file_(file), offset_(offset), number_(first_number)
{
    buffer_.resize(chunk);
    if (offset > 0 && !file_.seekg(static_cast<std::streamoff>(offset)))
        failed_ = true;
}

bool LineReader::refill()
{
    if (at_end_ || failed_)
        return false;
    begin_ = 0;
    file_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    end_ = static_cast<size_t>(file_.gcount());
    if (end_ == 0) {
        at_end_ = true;
        failed_ = file_.bad();
    }
    return end_ > 0;
}

bool LineReader::next(Line& line)
{
    line_.clear();
    line = Line{};
    line.number = number_;
    line.offset = offset_;
    bool any = false;
    bool in_buffer = false;  // the whole line lies in the buffer: no copy needed
    size_t start = begin_;
    for (;;) {
        if (begin_ == end_ && !refill())
            break;
        if (!any)
            start = begin_;
        const char* from = buffer_.data() + begin_;
        const size_t available = end_ - begin_;
        const void* newline = std::memchr(from, '\n', available);
        const size_t take = newline ? static_cast<size_t>(static_cast<const char*>(newline) - from) : available;
        if (newline && !any) {
            in_buffer = true;
        } else {
            const size_t room = longest_line - std::min(longest_line, line_.size());
            line_.append(from, std::min(take, room));
        }
        any = true;
        begin_ += take;
        offset_ += take;
        if (newline) {
            ++begin_;
            ++offset_;
            line.terminated = true;
            break;
        }
    }
    if (!any)
        return false;
    ++number_;
    std::string_view text = line_;
    if (in_buffer) {
        text = std::string_view(buffer_.data() + start, begin_ - 1 - start).substr(0, longest_line);
    }
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    line.text = text;
    return true;
}

}  // namespace plot
