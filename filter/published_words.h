// A few words published whole by one thread and read by another without a
// lock: the filter slots, written by the filter window while the capture
// thread judges frames by them.
//
// Two copies; the publication count picks the current one. A publisher fills
// the other copy and then counts the publication, which makes it current. A
// reader takes the count, reads the current copy and checks that the count is
// still the same. Only a publication that began after the read began can have
// written the copy being read (the one after next), so the check sees every
// read that met a half-written copy, and the read is made again. Readers never
// wait and never write; publishers are serialised by a mutex of their own.
//
// Words are loaded with acquire: a word from a later publication brings that
// publication's view of the count along, so the check cannot miss it.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

template <size_t N>
class PublishedWords {
public:
    using Words = std::array<uint64_t, N>;

    // Starts with every word zero.
    constexpr PublishedWords() = default;

    void Publish(const Words& words)
    {
        std::lock_guard lock(publisher_);
        const uint64_t count = publications_.load(std::memory_order_relaxed);
        Copy& copy = copies_[(count + 1) % 2];
        for (size_t i = 0; i < N; ++i)
            copy.words[i].store(words[i], std::memory_order_release);
        publications_.store(count + 1, std::memory_order_release);
    }

    // read(const std::atomic<uint64_t>* words) over one whole publication. It
    // must load each word it uses with acquire and have no effect beyond its
    // result: a read that met a publication half-way is dropped and made again.
    template <typename Read>
    auto ReadWhole(Read read) const
    {
        for (;;) {
            const uint64_t count = publications_.load(std::memory_order_acquire);
            const auto result = read(copies_[count % 2].words);
            if (publications_.load(std::memory_order_relaxed) == count)
                return result;
        }
    }

    Words Get() const
    {
        return ReadWhole([](const std::atomic<uint64_t>* words) {
            Words read;
            for (size_t i = 0; i < N; ++i)
                read[i] = words[i].load(std::memory_order_acquire);
            return read;
        });
    }

private:
    struct alignas(64) Copy {
        std::atomic<uint64_t> words[N] = {};
    };
    Copy copies_[2];
    std::atomic<uint64_t> publications_{0}; // copies_[publications_ % 2] is current
    std::mutex publisher_;
};
