#pragma once

#include <QCollator>
#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <queue>
#include <vector>

namespace orvalis {

// The place of the row that stands at `position` once a load has sorted the
// table by its Distance field (then empty: latitude, longitude, description),
// found from the coordinate texts alone as the rows stream by, in one pass or
// a few, with memory for a few bytes a row at most.
//
// Rows whose coordinate texts the collation cannot tell apart sit next to each
// other in that order, ahead of their descriptions; whichever of them stands at
// `position`, it has the same place. So only "latitude|longitude|" is ranked,
// character by character, over the few characters a coordinate holds.
class LoadRowFinder {
public:
    // How many rows the finder may hold whole in a pass (the first pass keeps
    // the smallest `heapRows` when the position lies among them); tests shrink them.
    struct Limits {
        size_t heapRows = size_t(1) << 16;
        size_t fullRows = size_t(1) << 19;
    };
    LoadRowFinder(const QCollator &collator, qint64 position, Limits limits);
    LoadRowFinder(const QCollator &collator, qint64 position) : LoadRowFinder(collator, position, Limits()) {}

    // False when the collation orders coordinate characters in a way the
    // ranks cannot follow: the caller then sorts the rows themselves.
    bool usable() const { return usable_; }
    // Each row of a pass, in file order; false for a text the ranks cannot
    // hold (a character no coordinate has, a very long text): give up then.
    bool see(QStringView latitude, QStringView longitude);
    // After each pass: true once the place is known (or the position lies
    // beyond the rows); otherwise the rows must stream by once more.
    bool endPass();
    // The rows the first pass saw.
    qint64 rows() const { return total_; }
    // Texts the collation holds equal to the row's (they read as the same numbers).
    QString latitude() const { return text(0); }
    QString longitude() const { return text(1); }

private:
    static constexpr int kChars = 32;
    using Ranks = std::array<uint8_t, kChars>;  // 0 past the end
    bool encode(QStringView lat, QStringView lon, Ranks &out) const;
    uint32_t keyAt(const Ranks &r, int from) const;
    QString text(int part) const;

    bool usable_ = false;
    std::array<uint8_t, 128> rank_{};  // 0: not a coordinate character
    std::vector<char16_t> shown_;      // a character for each rank
    uint8_t bar_ = 0;
    uint32_t radix_ = 0;  // ranks + 1
    int keyChars_ = 0;    // characters in a 32-bit key

    qint64 position_;
    Limits limits_;
    int pass_ = 0;
    qint64 total_ = 0, seen_ = 0;
    qint64 target_;  // among the rows still in question, from 1
    Ranks prefix_{};
    int prefixLength_ = 0;
    bool whole_ = false;  // this pass holds the candidates whole
    std::vector<uint32_t> keys_;
    std::vector<Ranks> rows_;
    std::priority_queue<Ranks> smallest_;
    Ranks found_{};
};

}  // namespace orvalis
