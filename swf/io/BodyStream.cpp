#include "swf/io/BodyStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <lzma.h>
#include <zlib.h>

namespace swf::io {
namespace {

constexpr std::size_t kInputWindow = 64 * 1024;
constexpr std::size_t kOutputWindow = 256 * 1024;

} // namespace

BodyStream::BodyStream(Codec codec, Source source, std::uint64_t limit)
    : m_codec(codec), m_source(std::move(source)), m_limit(limit), m_in(kInputWindow), m_out(kOutputWindow) {
    if (codec == Codec::Zlib) {
        m_zlib = new z_stream{};
        if (inflateInit(m_zlib) != Z_OK) {
            delete m_zlib;
            m_zlib = nullptr;
            m_error = "zlib initialisation failed";
        }
    }
}

BodyStream::~BodyStream() {
    if (m_zlib) {
        inflateEnd(m_zlib);
        delete m_zlib;
    }
    if (m_lzma) {
        lzma_end(static_cast<lzma_stream*>(m_lzma));
        delete static_cast<lzma_stream*>(m_lzma);
    }
}

// Moves what is left of the input to the front and reads more behind it.
bool BodyStream::fillInput() {
    if (m_sourceDone)
        return false;
    if (m_inAt > 0) {
        std::memmove(m_in.data(), m_in.data() + m_inAt, m_inEnd - m_inAt);
        m_inEnd -= m_inAt;
        m_inAt = 0;
    }
    std::string why;
    const std::size_t got =
        m_inEnd < m_in.size() ? m_source(m_in.data() + m_inEnd, m_in.size() - m_inEnd, why) : 0;
    if (got == 0) {
        m_sourceDone = true;
        if (!why.empty() && m_error.empty())
            m_error = why;
        return false;
    }
    m_inEnd += got;
    return true;
}

// Decodes the next slice of the body into the output window; false when nothing more comes.
bool BodyStream::fill() {
    m_outAt = m_outEnd = 0;
    if (m_ended || !m_error.empty() || m_produced >= m_limit)
        return false;
    const std::size_t room =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_out.size(), m_limit - m_produced));
    std::size_t made = 0;
    switch (m_codec) {
    case Codec::None:
        while (made < room) {
            if (m_inAt == m_inEnd && !fillInput())
                break;
            const std::size_t n = std::min(room - made, m_inEnd - m_inAt);
            std::memcpy(m_out.data() + made, m_in.data() + m_inAt, n);
            m_inAt += n;
            made += n;
        }
        if (made == 0)
            m_ended = true;
        break;
    case Codec::Zlib:
        while (made < room && !m_ended) {
            if (m_inAt == m_inEnd)
                fillInput();
            m_zlib->next_in = m_in.data() + m_inAt;
            m_zlib->avail_in = static_cast<uInt>(m_inEnd - m_inAt);
            m_zlib->next_out = m_out.data() + made;
            m_zlib->avail_out = static_cast<uInt>(room - made);
            const int rc = inflate(m_zlib, Z_NO_FLUSH);
            const std::size_t used = (m_inEnd - m_inAt) - m_zlib->avail_in;
            const std::size_t out = (room - made) - m_zlib->avail_out;
            m_inAt += used;
            made += out;
            if (rc == Z_STREAM_END) {
                m_ended = true;
            } else if (rc == Z_BUF_ERROR || (used == 0 && out == 0)) {
                if (m_sourceDone) {
                    if (m_error.empty())
                        m_error = "compressed data ends early";
                    break;
                }
            } else if (rc != Z_OK) {
                m_error = m_zlib->msg ? std::string("corrupt compressed data: ") + m_zlib->msg
                                      : "corrupt compressed data";
                break;
            }
        }
        break;
    case Codec::SwfLzma: {
        if (!m_lzma) {
            while (m_inEnd - m_inAt < 5 && fillInput()) {
            }
            if (m_inEnd - m_inAt < 5) {
                m_error = "LZMA properties missing";
                return false;
            }
            lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
            if (lzma_properties_decode(&filters[0], nullptr, m_in.data() + m_inAt, 5) != LZMA_OK) {
                m_error = "bad LZMA properties";
                return false;
            }
            m_inAt += 5;
            // No match reaches further back than the output we will ever produce.
            auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
            const std::uint64_t dictCap = std::max<std::uint64_t>(m_limit, LZMA_DICT_SIZE_MIN);
            if (options->dict_size > dictCap)
                options->dict_size = static_cast<std::uint32_t>(dictCap);
            auto* strm = new lzma_stream(LZMA_STREAM_INIT);
            const lzma_ret rc = lzma_raw_decoder(strm, filters);
            std::free(filters[0].options);
            if (rc != LZMA_OK) {
                delete strm;
                m_error = rc == LZMA_MEM_ERROR ? "LZMA dictionary too large" : "LZMA initialisation failed";
                return false;
            }
            m_lzma = strm;
        }
        auto* strm = static_cast<lzma_stream*>(m_lzma);
        while (made < room && !m_ended) {
            if (m_inAt == m_inEnd)
                fillInput();
            strm->next_in = m_in.data() + m_inAt;
            strm->avail_in = m_inEnd - m_inAt;
            strm->next_out = m_out.data() + made;
            strm->avail_out = room - made;
            const lzma_ret rc = lzma_code(strm, strm->avail_in || !m_sourceDone ? LZMA_RUN : LZMA_FINISH);
            const std::size_t used = (m_inEnd - m_inAt) - strm->avail_in;
            const std::size_t out = (room - made) - strm->avail_out;
            m_inAt += used;
            made += out;
            if (rc == LZMA_STREAM_END) {
                m_ended = true;
            } else if (rc != LZMA_OK) {
                m_error = rc == LZMA_BUF_ERROR ? "compressed data ends early" : "corrupt LZMA data";
                break;
            } else if (used == 0 && out == 0 && m_sourceDone) {
                m_error = "compressed data ends early";
                break;
            }
        }
        break;
    }
    }
    m_outEnd = made;
    m_produced += made;
    return made > 0;
}

std::size_t BodyStream::read(std::uint8_t* into, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (m_outAt == m_outEnd && !fill())
            break;
        const std::size_t k = std::min(n - done, m_outEnd - m_outAt);
        std::memcpy(into + done, m_out.data() + m_outAt, k);
        m_outAt += k;
        done += k;
    }
    m_position += done;
    return done;
}

std::uint64_t BodyStream::skip(std::uint64_t n) {
    std::uint64_t done = 0;
    while (done < n) {
        if (m_outAt == m_outEnd && !fill())
            break;
        const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n - done, m_outEnd - m_outAt));
        m_outAt += k;
        done += k;
    }
    m_position += done;
    return done;
}

bool BodyStream::pastLimit() {
    if (m_produced < m_limit || m_ended || !m_error.empty())
        return false;
    // One byte more tells; what is still unread in the window is dropped.
    m_limit = m_produced + 1;
    return fill();
}

} // namespace swf::io
