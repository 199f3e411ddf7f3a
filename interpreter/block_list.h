// BlockList: a list of plain values that grows a block at a time and never moves what it holds.
// Growing copies nothing, so a tape near its limit holds neither twice its size in spare room nor
// two copies of itself for a moment. The blocks are pages of their own: a cleared list keeps them
// for its next items (pages already touched are cheaper to fill than new ones), and gives back
// the spare ones, or all, when asked, leaving nothing behind in the heap.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <new>
#include <span>
#include <type_traits>
#include <vector>

template <class T>
class BlockList {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    static constexpr std::size_t blockLength = 8192;   // items in a block

    BlockList() = default;
    BlockList(const BlockList&) = delete;
    BlockList& operator=(const BlockList&) = delete;
    ~BlockList() { release(); }

    // A new last item, for the caller to fill.
    T& emplace_back() {
        if (tail == tailEnd) nextBlock();
        ++count;
        return *tail++;
    }
    T& operator[](std::size_t i) { return blocks[i / blockLength][i % blockLength]; }
    const T& operator[](std::size_t i) const { return blocks[i / blockLength][i % blockLength]; }
    const T& back() const { return (*this)[count - 1]; }
    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    // Forgets the items from index n on; their room is used again.
    void truncate(std::size_t n) {
        count = n;
        if (n / blockLength < blocks.size()) moveTail(n);
    }
    // Forgets every item; the memory stays for the next ones.
    void clear() { truncate(0); }
    // Gives back the blocks past the one the next item goes in.
    void releaseSpare() {
        for (std::size_t keep = count / blockLength + 1; blocks.size() > keep; blocks.pop_back())
            ::munmap(blocks.back(), sizeof(T) * blockLength);
    }
    // Forgets every item and gives all the memory back.
    void release() {
        clear();
        releaseSpare();
        if (!blocks.empty()) ::munmap(blocks.back(), sizeof(T) * blockLength);
        blocks.clear();
        tail = tailEnd = nullptr;
    }
    // The items from index i on that lie in one block, at most n of them.
    std::span<const T> piece(std::size_t i, std::size_t n) const {
        const std::size_t inBlock = i % blockLength;
        return {&blocks[i / blockLength][inBlock], std::min(n, blockLength - inBlock)};
    }

private:
    void moveTail(std::size_t n) {
        tail = blocks[n / blockLength] + n % blockLength;
        tailEnd = blocks[n / blockLength] + blockLength;
    }
    // The block after the tail's: one kept from before a truncate, or a new one.
    [[gnu::noinline]] void nextBlock() {
        if (count / blockLength == blocks.size()) {
            void* block = ::mmap(nullptr, sizeof(T) * blockLength, PROT_READ | PROT_WRITE,
                                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (block == MAP_FAILED) throw std::bad_alloc();
            blocks.push_back(static_cast<T*>(block));
        }
        moveTail(count);
    }

    std::vector<T*> blocks;
    T* tail = nullptr;      // where the next item goes
    T* tailEnd = nullptr;   // the end of its block
    std::size_t count = 0;
};
