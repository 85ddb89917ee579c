#include "mesh/TriangleStripBuilder.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <memory>

// How the strips are found
//
// Every strip is the one zigzag walk that a start triangle and its first edge determine: each
// next triangle lies across the edge of the last two strip vertices. What is left to choose is
// where a strip starts, in which of its directions it leaves the start triangle, and where it
// stops. All three are chosen by simulating the FIFO cache the strips are drawn through:
//
// - Start candidates are the free triangles around the vertices the cache holds, ranked by
//   how many of their vertices are cached, then by whether the cached edge at their oldest
//   cached vertex runs forwards in winding order (from that vertex to the next), then by the
//   age of that oldest vertex, since the FIFO evicts it next. With a FIFO cache this lays
//   each strip alongside older ones, rather than doubling back. (The edge direction was
//   measured to lower the misses on the bench meshes and others by about one per cent; the
//   count of free neighbours, ranked before the age until then, did slightly worse on top of
//   it and was dropped.)
// - The best few candidates are walked in their possible directions, counting simulated
//   misses, and every prefix of a walk is a possible strip. The prefix with the fewest misses
//   per triangle wins, a triangle that it cuts off from all free neighbours counting as two
//   misses (it can only go to the final list). A walk ends once it meets two misses in a row
//   after having had hits (it has left the cached area), or when it would exceed its miss
//   budget (the vertices it shares with earlier strips would be evicted before the next strip
//   could use them).
// - Only when no free triangle touches the cache does a strip start elsewhere: preferably at
//   a triangle with one free neighbour left, else on a mesh border, else anywhere.
//
// Where the time goes
//
// Strips are short (three to six triangles on real meshes), so the work per strip dominates:
// a candidate search, four or five simulated walks, and keeping the search's data up to date
// as vertices enter and leave the cache. These touch few bytes per triangle, at addresses that
// follow the mesh rather than memory, and take data-dependent turns no branch predictor
// learns, so:
//
// - a triangle's state, free neighbours and simulation stamp share one 32-bit status word,
//   and its vertices and neighbours (read by the walks) lie apart from it;
// - the corners of the cached vertices are queued in the order the vertices entered the
//   cache (the "front"), each with the other two vertices of its triangle, so that whether a
//   triangle is seen through its oldest cached vertex and how many of its vertices are cached
//   follow from a few cache positions;
// - the triangles with two or more cached vertices, which outrank all others, are also kept
//   in a short "hot" list; only when it yields fewer than four candidates is the front
//   searched, in age order, for the rest;
// - all working arrays of a build come from one allocation (see Arena).

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// Triangle numbers are stored with a corner or edge in their two low bits, and one number
// past the last triangle is taken by the "no neighbour" sentinel.
constexpr uint32_t kMaxTriangles = (1u << 30) - 1;

// Larger caches are simulated as this large; candidate scores keep ages in kAgeBits bits.
constexpr unsigned kMaxCacheSize = 1u << 20;
constexpr uint32_t kAgeBits = 24;

// The status word of a triangle: its state in bits 0-1, its free neighbours (0-3) in bits 2-3
// and, above, the stamp of the last simulation that took it into its strip. Free triangles may
// still join strips; kFreeNoStart ones did not reach the minimum strip size as a start and are
// not tried again.
enum TriangleState : uint32_t { kFree = 0, kFreeNoStart = 1, kUsed = 2, kLeftover = 3 };
constexpr uint32_t kStateMask = 3;
constexpr uint32_t kFreeShift = 2;
constexpr uint32_t kFreeUnit = 1u << kFreeShift;
constexpr uint32_t kFlagsMask = 15;
constexpr uint32_t kStampShift = 4;
constexpr uint32_t kMaxStamp = (1u << (32 - kStampShift)) - 1;

uint32_t stateOf(uint32_t status) { return status & kStateMask; }
bool isFree(uint32_t status) { return (status & 2) == 0; } // kFree or kFreeNoStart
uint32_t freeNeighboursOf(uint32_t status) { return (status >> kFreeShift) & 3; }
uint32_t stampOf(uint32_t status) { return status >> kStampShift; }

constexpr unsigned kNextCorner[4] = {1, 2, 0, 0};
constexpr unsigned kPreviousCorner[4] = {2, 0, 1, 0};

// Strip costs are misses plus orphans (triangles cut off from every free neighbour) in units
// of 1/kMissWeight: an orphan is drawn by the final list, where its vertices have long left
// the cache, so it costs about two misses more than it would in a strip.
constexpr uint64_t kMissWeight = 4;
constexpr uint64_t kOrphanWeight = 8;

// Start candidates simulated per strip. Fewer let the strips wander off; more let the
// cheapest strip of the moment override the oldest-first order, which costs more later on.
constexpr unsigned kCandidates = 4;

// Consecutive misses, after some hits, that end a walk.
constexpr uint32_t kMissRunEnd = 2;

// One simulated strip: the triangles it covers, its vertices and what it costs.
struct StripTrial {
    uint32_t length = 0;           // triangles, 0 for none
    uint64_t cost = 0;             // weighted misses and orphans
    uint32_t* vertices = nullptr;  // compact vertex ids, length + 2 used
    uint32_t* triangles = nullptr; // length used

    // True when this trial draws its triangles more cheaply than other, or as cheaply but longer.
    bool betterThan(const StripTrial& other) const
    {
        if (other.length == 0)
            return length != 0;
        uint64_t lhs = cost * other.length;
        uint64_t rhs = other.cost * length;
        return lhs < rhs || (lhs == rhs && length > other.length);
    }
};

// The fixed part of a triangle, read by the walks.
struct TriangleLinks {
    uint32_t vertex[3];
    // Neighbour across edge e (corner e to corner e+1) as (triangle << 2 | edge), always with
    // the edge running the other way so that a strip keeps both windings; the sentinel
    // (triangle count << 2), whose state is kUsed, if none.
    uint32_t neighbour[3];
};

// A triangle as seen from one of its vertices: (triangle << 2 | corner) and the vertices
// after and before that corner.
struct CornerEntry {
    uint32_t corner;
    uint32_t next;
    uint32_t previous;
};

// A corner in the front or the hot list, with the cache position of its own vertex.
struct QueuedCorner {
    uint32_t corner;
    uint32_t ownPosition;
    uint32_t next;
    uint32_t previous;
};

struct CornerList {
    uint32_t first; // into m_corners
    uint32_t live;  // entries in use; all triangles of the vertex that may start strips are among them
};

// Where a simulated walk has put a vertex in the cache, valid while stamp is the walk's.
struct SimulatedPosition {
    uint32_t stamp;
    uint32_t position;
};

// The working arrays of one build carved out of a single allocation. Separate vectors of a few
// hundred kilobytes each made the allocator hand memory back to the system after every build
// and fault it in again on the next, which cost a third of the time on large meshes.
class Arena {
public:
    void reserve(size_t bytes)
    {
        m_block.reset(new std::byte[bytes]);
        m_used = 0;
    }
    template <typename T>
    T* take(size_t count)
    {
        m_used = (m_used + alignof(T) - 1) / alignof(T) * alignof(T);
        T* items = reinterpret_cast<T*>(m_block.get() + m_used);
        m_used += count * sizeof(T);
        return items;
    }
    // Bytes take<T>(count) may need, alignment included.
    template <typename T>
    static size_t bound(size_t count)
    {
        return count * sizeof(T) + alignof(T);
    }

private:
    std::unique_ptr<std::byte[]> m_block;
    size_t m_used = 0;
};

// All working arrays of one build: flat, sized once, no allocation per triangle.
class StripWorkspace {
public:
    StripWorkspace(const TriangleStripBuilder::Settings& settings, std::span<const uint32_t> indices);
    void run(const TriangleStripBuilder::Sink& sink);

private:
    void compactVertices();
    void allocate();
    void buildTables();
    void pairEdges();
    void initialiseStates();

    bool isCached(uint32_t vertex) const { return m_cachePos[vertex] - (m_counter - m_cacheSize) < m_cacheSize; }
    void accessCache(uint32_t vertex);
    void enterFront(uint32_t vertex);
    uint32_t nextStamp();

    unsigned rankHot();
    void gatherCandidates();
    uint32_t popStartTriangle();
    void simulateCandidates();
    void simulate(uint32_t triangle, unsigned rotation, uint32_t startOrphans);
    void emitBest(const TriangleStripBuilder::Sink& sink);
    void emitLeftovers(const TriangleStripBuilder::Sink& sink);

    unsigned m_cacheSize;
    unsigned m_minStripSize;
    uint32_t m_missBudget;
    uint32_t m_maxLength;

    std::span<const uint32_t> m_input;
    uint32_t m_triangleCount = 0;
    uint32_t m_vertexCount = 0;
    uint32_t m_noNeighbour = 0;             // the sentinel, m_triangleCount << 2
    std::vector<uint32_t> m_remap;          // compact id -> input index, empty when ids are the input's
    std::vector<uint32_t> m_compactIndices; // the input with compact ids, when remapped
    std::vector<uint32_t> m_emitted;        // the indices of a remapped strip or of the leftovers
    const uint32_t* m_source = nullptr;     // the input or m_compactIndices

    Arena m_arena;
    // Triangles in working order (see buildTables()), plus the sentinel at the end.
    TriangleLinks* m_links = nullptr;
    uint32_t* m_status = nullptr;
    uint32_t* m_inputTriangle = nullptr; // input position of each working triangle
    // Triangles around each vertex, in working order; a vertex entering the cache drops those
    // that can no longer start strips.
    CornerList* m_cornerLists = nullptr;
    CornerEntry* m_corners = nullptr;
    uint32_t m_maxDegree = 0;
    uint32_t* m_firstEntering = nullptr; // per vertex, while edges are paired (see pairEdges())

    // The front: the corners of the cached vertices whose triangles could start strips when
    // the vertex entered, queued in entering order, so that the oldest vertex's corners lead
    // and leave first. A ring buffer of a power of two entries; the indices only grow.
    std::unique_ptr<QueuedCorner[]> m_front;
    uint32_t m_frontMask = 0;
    uint32_t m_frontStart = 0;
    uint32_t m_frontEnd = 0;
    uint32_t* m_segmentEnd = nullptr; // per ring slot: where its vertex's corners end
    // The hot list: every free triangle with two or more cached vertices, by its oldest cached
    // vertex, plus the corners under its second oldest, which take over once the oldest leaves,
    // plus entries gone stale since the last search. Triangles with two cached vertices
    // outrank all others, so when four are found the search needs to look no further.
    std::vector<QueuedCorner> m_hot;

    // Fresh starts, for when no free triangle touches the cache: first those left with one
    // free neighbour (last in first out, so near the latest strips), then those that began
    // with two (mesh borders), then any free triangle in working order. Entries are not
    // removed when their triangle is taken, just skipped when popped.
    uint32_t* m_lonely = nullptr; // room for every triangle: each is pushed at most once
    uint32_t m_lonelyCount = 0;
    uint32_t* m_border = nullptr;
    uint32_t m_borderCount = 0;
    uint32_t m_startCursor = 0;

    // The simulated FIFO cache: a vertex is held while no more than the cache size misses, its
    // own included, happened since it was loaded. Counting starts above the cache size so that
    // position 0 means never loaded.
    uint32_t* m_cachePos = nullptr;
    uint32_t* m_ring = nullptr; // the cached vertices, m_ringHead is the oldest
    uint32_t m_ringHead = 0;
    uint32_t m_counter = 0;

    uint32_t m_stamp = 0;                     // last stamp handed to a simulation
    SimulatedPosition* m_simulated = nullptr; // per vertex, see simulate()

    uint32_t m_candidates[kCandidates];
    unsigned m_candidateCount = 0;

    StripTrial m_best;
    StripTrial m_current;
};

StripWorkspace::StripWorkspace(const TriangleStripBuilder::Settings& settings, std::span<const uint32_t> indices)
    : m_cacheSize(std::clamp(settings.cacheSize, 3u, kMaxCacheSize))
    , m_minStripSize(std::max(settings.minStripSize, 2u))
    , m_input(indices)
{
    // A strip loading more new vertices than about 5/8 of the cache evicts, before the next
    // strip gets to them, the vertices it shares with the strips before it (tuned on meshes).
    m_missBudget = std::max(m_cacheSize * 5 / 8, 1u);
    m_triangleCount = static_cast<uint32_t>(std::min<size_t>(indices.size() / 3, kMaxTriangles));
    // No strip is longer than the mesh: the bound keeps the trial arrays small under large
    // cache or strip size settings.
    m_maxLength = std::min(std::max(m_minStripSize, 8 * m_cacheSize), std::max(m_triangleCount, 1u));
}

void StripWorkspace::compactVertices()
{
    size_t indexCount = 3 * size_t(m_triangleCount);
    uint32_t maxIndex = 0;
    for (size_t i = 0; i < indexCount; ++i)
        maxIndex = std::max(maxIndex, m_input[i]);
    if (size_t(maxIndex) < 2 * indexCount + 1024 && maxIndex != kNone) {
        m_vertexCount = maxIndex + 1;
        m_source = m_input.data();
        return;
    }
    // Sparse indices would make every per-vertex array huge; number the used ones densely.
    m_remap.assign(m_input.begin(), m_input.begin() + indexCount);
    std::sort(m_remap.begin(), m_remap.end());
    m_remap.erase(std::unique(m_remap.begin(), m_remap.end()), m_remap.end());
    m_compactIndices.resize(indexCount);
    for (size_t i = 0; i < indexCount; ++i)
        m_compactIndices[i] =
            static_cast<uint32_t>(std::lower_bound(m_remap.begin(), m_remap.end(), m_input[i]) - m_remap.begin());
    m_vertexCount = static_cast<uint32_t>(m_remap.size());
    m_source = m_compactIndices.data();
}

void StripWorkspace::allocate()
{
    const size_t triangles = size_t(m_triangleCount) + 1; // with the sentinel
    const size_t vertices = m_vertexCount;
    const size_t corners = 3 * size_t(m_triangleCount);
    const size_t trial = size_t(m_maxLength) + 2;
    size_t bytes = Arena::bound<TriangleLinks>(triangles)
                   + 4 * Arena::bound<uint32_t>(triangles) // status, input positions, two stacks
                   + Arena::bound<CornerList>(vertices + 1) + Arena::bound<CornerEntry>(corners)
                   + 2 * Arena::bound<uint32_t>(vertices) + Arena::bound<SimulatedPosition>(vertices)
                   + 2 * Arena::bound<uint32_t>(m_cacheSize) + 4 * Arena::bound<uint32_t>(trial);
    m_arena.reserve(bytes);
    m_links = m_arena.take<TriangleLinks>(triangles);
    m_status = m_arena.take<uint32_t>(triangles);
    m_inputTriangle = m_arena.take<uint32_t>(triangles);
    m_lonely = m_arena.take<uint32_t>(triangles);
    m_border = m_arena.take<uint32_t>(triangles);
    m_cornerLists = m_arena.take<CornerList>(vertices + 1);
    m_corners = m_arena.take<CornerEntry>(corners);
    m_firstEntering = m_arena.take<uint32_t>(vertices);
    m_cachePos = m_arena.take<uint32_t>(vertices);
    m_simulated = m_arena.take<SimulatedPosition>(vertices);
    m_ring = m_arena.take<uint32_t>(m_cacheSize);
    m_segmentEnd = m_arena.take<uint32_t>(m_cacheSize);
    m_best.vertices = m_arena.take<uint32_t>(trial);
    m_best.triangles = m_arena.take<uint32_t>(trial);
    m_current.vertices = m_arena.take<uint32_t>(trial);
    m_current.triangles = m_arena.take<uint32_t>(trial);
}

void StripWorkspace::buildTables()
{
    // Working triangles are numbered by their lowest vertex (a counting sort), so that
    // neighbours sit close in memory even when the input order is scrambled; degenerate
    // triangles go last. Triangles sharing their lowest vertex are ordered by the two vertices
    // that follow it, so that the working order, and with it the strips, hardly depend on the
    // input order.
    const uint32_t* src = m_source;
    const uint32_t vertexCount = m_vertexCount;
    const uint32_t triangleCount = m_triangleCount;
    struct Keyed {
        uint64_t key; // the two vertices after the lowest one
        uint32_t triangle;
        uint32_t group; // the lowest vertex, vertexCount for degenerate triangles
    };
    std::unique_ptr<Keyed[]> keyed(new Keyed[2 * size_t(triangleCount)]);
    Keyed* ordered = keyed.get() + triangleCount;
    std::unique_ptr<uint32_t[]> groupEnd(new uint32_t[size_t(vertexCount) + 2]());
    CornerList* lists = m_cornerLists;
    std::fill(lists, lists + vertexCount + 1, CornerList{0, 0});
    uint32_t* groupCount = groupEnd.get() + 1;
    for (uint32_t t = 0; t < triangleCount; ++t) {
        uint32_t a = src[3 * size_t(t)], b = src[3 * size_t(t) + 1], c = src[3 * size_t(t) + 2];
        // Computed without branches: which vertex is lowest follows the mesh, not a pattern.
        uint32_t proper = uint32_t(a != b) & uint32_t(b != c) & uint32_t(a != c);
        uint32_t aLowest = uint32_t(a < b) & uint32_t(a < c);
        uint32_t bLowest = (aLowest ^ 1) & uint32_t(b < c);
        uint32_t lowest = aLowest ? a : bLowest ? b : c;
        uint32_t first = aLowest ? b : bLowest ? c : a;
        uint32_t second = aLowest ? c : bLowest ? a : b;
        uint32_t group = proper ? lowest : vertexCount;
        keyed[t] = {uint64_t(first) << 32 | second, t, group};
        ++groupCount[group];
        lists[a].live += proper;
        lists[b].live += proper;
        lists[c].live += proper;
    }
    uint32_t cornerCount = 0;
    for (uint32_t v = 0; v < vertexCount; ++v) {
        m_maxDegree = std::max(m_maxDegree, lists[v].live);
        lists[v].first = cornerCount;
        cornerCount += lists[v].live;
        lists[v].live = 0;
        groupEnd[v + 1] += groupEnd[v];
    }
    lists[vertexCount].first = cornerCount;
    groupEnd[vertexCount + 1] += groupEnd[vertexCount];

    // After the scatter groupEnd[v] is the end of vertex v's group.
    for (uint32_t t = 0; t < triangleCount; ++t)
        ordered[groupEnd[keyed[t].group]++] = keyed[t];
    auto less = [](const Keyed& x, const Keyed& y) { return x.key < y.key || (x.key == y.key && x.triangle < y.triangle); };
    for (uint32_t v = 0, begin = 0; v < vertexCount; begin = groupEnd[v++]) {
        uint32_t size = groupEnd[v] - begin;
        if (size < 2)
            continue;
        Keyed* first = ordered + begin;
        Keyed* last = first + size;
        if (size > 16) {
            std::sort(first, last, less);
            continue;
        }
        for (Keyed* it = first + 1; it < last; ++it) {
            Keyed k = *it;
            Keyed* hole = it;
            for (; hole > first && less(k, hole[-1]); --hole)
                *hole = hole[-1];
            *hole = k;
        }
    }
    const uint32_t properCount = vertexCount == 0 ? 0 : groupEnd[vertexCount - 1];

    // Filled in working order, each vertex lists its triangles by increasing number.
    m_noNeighbour = triangleCount << 2;
    const uint32_t none = m_noNeighbour;
    CornerEntry* corners = m_corners;
    TriangleLinks* links = m_links;
    for (uint32_t id = 0; id < triangleCount; ++id) {
        uint32_t t = ordered[id].triangle;
        m_inputTriangle[id] = t;
        uint32_t a = src[3 * size_t(t)], b = src[3 * size_t(t) + 1], c = src[3 * size_t(t) + 2];
        links[id] = {{a, b, c}, {none, none, none}};
        // A degenerate triangle would flip the winding of the rest of a strip.
        m_status[id] = id < properCount ? kFree : kLeftover;
        if (id >= properCount)
            continue;
        corners[lists[a].first + lists[a].live++] = {id << 2, b, c};
        corners[lists[b].first + lists[b].live++] = {id << 2 | 1, c, a};
        corners[lists[c].first + lists[c].live++] = {id << 2 | 2, a, b};
    }
    links[triangleCount] = {{0, 0, 0}, {none, none, none}};
    m_status[triangleCount] = kUsed;
}

void StripWorkspace::pairEdges()
{
    // Each directed edge x->y pairs with one unpaired y->x of another triangle. Both are
    // corners of x and of y; edges are paired at their lower vertex x, where the corners
    // leaving x for y and those entering x from y pair up in corner order: the first with the
    // first, and so on. On edges shared by more than two triangles the first come are paired
    // and the rest see no neighbour there.
    //
    // The corners entering x are chained by the vertex they come from, so that a corner
    // leaving x finds its partner in one look-up rather than a scan of all corners of x.
    TriangleLinks* links = m_links;
    uint32_t* firstEntering = m_firstEntering; // per vertex y: next unpaired corner y->x
    std::fill(firstEntering, firstEntering + m_vertexCount, kNone);
    std::vector<uint32_t> nextEntering(m_maxDegree); // per corner of x: the one after it from y
    for (uint32_t x = 0; x < m_vertexCount; ++x) {
        const uint32_t count = m_cornerLists[x].live;
        const CornerEntry* corners = m_corners + m_cornerLists[x].first;
        for (uint32_t b = count; b-- > 0;) {
            uint32_t y = corners[b].previous;
            if (y < x)
                continue; // paired at y
            nextEntering[b] = firstEntering[y];
            firstEntering[y] = b;
        }
        for (uint32_t a = 0; a < count; ++a) {
            uint32_t y = corners[a].next;
            if (y < x)
                continue;
            uint32_t b = firstEntering[y];
            if (b == kNone)
                continue;
            firstEntering[y] = nextEntering[b];
            uint32_t t = corners[a].corner >> 2;
            unsigned e = corners[a].corner & 3; // edge leaving x
            uint32_t u = corners[b].corner >> 2;
            unsigned f = kPreviousCorner[corners[b].corner & 3]; // edge entering x
            links[t].neighbour[e] = u << 2 | f;
            links[u].neighbour[f] = t << 2 | e;
        }
        for (uint32_t b = 0; b < count; ++b)
            firstEntering[corners[b].previous] = kNone;
    }
}

void StripWorkspace::initialiseStates()
{
    for (uint32_t t = m_triangleCount; t-- > 0;) {
        if (m_status[t] != kFree)
            continue;
        const TriangleLinks& links = m_links[t];
        uint32_t count = uint32_t(links.neighbour[0] != m_noNeighbour) + uint32_t(links.neighbour[1] != m_noNeighbour)
                         + uint32_t(links.neighbour[2] != m_noNeighbour);
        m_status[t] = count << kFreeShift | (count == 0 ? kLeftover : kFree);
        // Pushed in reverse, so that equal candidates pop in working order.
        m_lonely[m_lonelyCount] = t;
        m_lonelyCount += count == 1;
        m_border[m_borderCount] = t;
        m_borderCount += count == 2;
    }
    std::fill(m_cachePos, m_cachePos + m_vertexCount, 0u);
    std::fill(m_simulated, m_simulated + m_vertexCount, SimulatedPosition{0, 0});
    std::fill(m_ring, m_ring + m_cacheSize, kNone);
    m_counter = m_cacheSize + 1;
    // A vertex is cached at most once at a time, so each corner is queued at most once.
    size_t frontBound = std::min<size_t>(size_t(m_cacheSize) * m_maxDegree, 3 * size_t(m_triangleCount));
    size_t frontSize = std::bit_ceil(frontBound + 1);
    m_front.reset(new QueuedCorner[frontSize]);
    m_frontMask = static_cast<uint32_t>(frontSize - 1);
    m_hot.reserve(256);
}

void StripWorkspace::accessCache(uint32_t vertex)
{
    if (isCached(vertex))
        return;
    if (m_ring[m_ringHead] != kNone)
        m_frontStart = m_segmentEnd[m_ringHead]; // the oldest vertex leaves
    m_ring[m_ringHead] = vertex;
    m_cachePos[vertex] = m_counter++;
    enterFront(vertex);
    m_segmentEnd[m_ringHead] = m_frontEnd;
    if (++m_ringHead == m_cacheSize)
        m_ringHead = 0;
}

void StripWorkspace::enterFront(uint32_t vertex)
{
    // Queues the vertex's triangles that may still start strips and keeps only those in its
    // list, in order; the others never will again. A triangle whose second cached vertex this
    // is turns hot under the other one (the older); one whose third it is gets a second hot
    // entry, under the second oldest, which takes over once the oldest leaves.
    //
    // Everything the loop reads is held in locals: the stores into the lists and the hot list
    // would otherwise make the compiler load the members again for every corner.
    CornerList& list = m_cornerLists[vertex];
    CornerEntry* corners = m_corners + list.first;
    const uint32_t* status = m_status;
    const uint32_t* cachePos = m_cachePos;
    QueuedCorner* front = m_front.get();
    const uint32_t frontMask = m_frontMask;
    const uint32_t oldestPosition = m_counter - m_cacheSize;
    const uint32_t cacheSize = m_cacheSize;
    const uint32_t position = cachePos[vertex];
    const uint32_t live = list.live;
    uint32_t kept = 0;
    uint32_t end = m_frontEnd;
    for (uint32_t k = 0; k < live; ++k) {
        CornerEntry entry = corners[k];
        uint32_t candidate = uint32_t(stateOf(status[entry.corner >> 2]) == kFree);
        corners[kept] = entry;
        kept += candidate;
        front[end & frontMask] = {entry.corner, position, entry.next, entry.previous};
        end += candidate;
        if (!candidate)
            continue;
        uint32_t nextPosition = cachePos[entry.next], previousPosition = cachePos[entry.previous];
        bool nextCached = nextPosition - oldestPosition < cacheSize;
        bool previousCached = previousPosition - oldestPosition < cacheSize;
        if (!nextCached && !previousCached)
            continue;
        uint32_t t = entry.corner >> 2;
        unsigned j = entry.corner & 3;
        // Under the younger of the two when both are cached.
        bool underNext = nextCached && !(previousCached && previousPosition > nextPosition);
        if (underNext)
            m_hot.push_back({t << 2 | kNextCorner[j], nextPosition, entry.previous, vertex});
        else
            m_hot.push_back({t << 2 | kPreviousCorner[j], previousPosition, vertex, entry.next});
    }
    list.live = kept;
    m_frontEnd = end;
}

uint32_t StripWorkspace::nextStamp()
{
    if (m_stamp == kMaxStamp) {
        // Stamps only need to differ from the current one: start over with all cleared.
        for (uint32_t t = 0; t <= m_triangleCount; ++t)
            m_status[t] &= kFlagsMask;
        std::fill(m_simulated, m_simulated + m_vertexCount, SimulatedPosition{0, 0});
        m_stamp = 0;
    }
    return ++m_stamp;
}

unsigned StripWorkspace::rankHot()
{
    // A triangle counts under its oldest cached vertex; an entry under a younger one, which
    // the cache positions of the entry's other two vertices reveal, waits for its turn. The
    // tests are arithmetic rather than branches, as their outcome follows the mesh, which no
    // predictor learns. Entries of taken triangles or evicted vertices are dropped on the way.
    uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0; // best scores so far, 0 for none
    uint32_t c0 = kNone, c1 = kNone, c2 = kNone, c3 = kNone;
    const uint32_t* status = m_status;
    const uint32_t* cachePos = m_cachePos;
    const uint32_t oldestPosition = m_counter - m_cacheSize;
    const uint32_t cacheSize = m_cacheSize;
    QueuedCorner* entries = m_hot.data();
    const uint32_t end = static_cast<uint32_t>(m_hot.size());
    uint32_t kept = 0;
    for (uint32_t i = 0; i != end; ++i) {
        const QueuedCorner entry = entries[i];
        // Ranks in the cache, oldest 0; uncached vertices wrap around to huge values.
        uint32_t rank = entry.ownPosition - oldestPosition;
        uint32_t nextRank = cachePos[entry.next] - oldestPosition;
        uint32_t previousRank = cachePos[entry.previous] - oldestPosition;
        uint32_t live = uint32_t(stateOf(status[entry.corner >> 2]) == kFree) & uint32_t(rank < cacheSize);
        entries[kept] = entry;
        kept += live;
        uint32_t valid = live & uint32_t(std::min(nextRank, previousRank) > rank);
        uint32_t nextCached = nextRank < cacheSize;
        uint32_t cached = 1 + nextCached + uint32_t(previousRank < cacheSize);
        uint32_t score = ((cached << 1 | nextCached) << kAgeBits | (cacheSize - rank)) & (0u - valid);
        if (score <= s3)
            continue;
        uint32_t t = entry.corner >> 2;
        if (score > s1) {
            s3 = s2;
            c3 = c2;
            s2 = s1;
            c2 = c1;
            if (score > s0) {
                s1 = s0;
                c1 = c0;
                s0 = score;
                c0 = t;
            } else {
                s1 = score;
                c1 = t;
            }
        } else if (score > s2) {
            s3 = s2;
            c3 = c2;
            s2 = score;
            c2 = t;
        } else {
            s3 = score;
            c3 = t;
        }
    }
    m_hot.resize(kept);
    m_candidates[0] = c0;
    m_candidates[1] = c1;
    m_candidates[2] = c2;
    m_candidates[3] = c3;
    return uint32_t(s0 != 0) + uint32_t(s1 != 0) + uint32_t(s2 != 0) + uint32_t(s3 != 0);
}

void StripWorkspace::gatherCandidates()
{
    unsigned count = rankHot();
    // Fewer than four hot triangles: the rest come from those with only one vertex cached,
    // which rank alike but by its age, so the first met in the front, oldest first, are best.
    const uint32_t oldestPosition = m_counter - m_cacheSize;
    for (uint32_t i = m_frontStart; i != m_frontEnd && count < kCandidates; ++i) {
        const QueuedCorner& entry = m_front[i & m_frontMask];
        if (stateOf(m_status[entry.corner >> 2]) == kFree && m_cachePos[entry.next] - oldestPosition >= m_cacheSize
            && m_cachePos[entry.previous] - oldestPosition >= m_cacheSize)
            m_candidates[count++] = entry.corner >> 2;
    }
    m_candidateCount = count;
}

uint32_t StripWorkspace::popStartTriangle()
{
    while (m_lonelyCount > 0) {
        uint32_t t = m_lonely[--m_lonelyCount];
        if (stateOf(m_status[t]) == kFree)
            return t;
    }
    while (m_borderCount > 0) {
        uint32_t t = m_border[--m_borderCount];
        if (stateOf(m_status[t]) == kFree)
            return t;
    }
    for (; m_startCursor < m_triangleCount; ++m_startCursor) {
        if (stateOf(m_status[m_startCursor]) == kFree)
            return m_startCursor++;
    }
    return kNone;
}

void StripWorkspace::simulate(uint32_t triangle, unsigned rotation, uint32_t startOrphans)
{
    // Walks the strip that starts with the triangle rotated to begin at corner `rotation`;
    // taking the triangle orphans `startOrphans` of its neighbours.
    // Every prefix is a possible strip; the cheapest per triangle is kept. A vertex the walk
    // loads gets its simulated cache position in a side table tagged with the walk's stamp,
    // so nothing needs undoing afterwards.
    //
    // The walk keeps few running values, as the loop has more than registers to hold: the
    // position its next miss would load a vertex at (the misses so far, offset by the cache
    // counter) and the cost so far, which orphans raise and lower as the strip goes on.
    const uint32_t stamp = nextStamp();
    const uint32_t stampBits = stamp << kStampShift;
    const TriangleLinks* links = m_links;
    uint32_t* status = m_status;
    const uint32_t* cachePos = m_cachePos;
    SimulatedPosition* simulated = m_simulated;
    const uint32_t base = m_counter;
    const uint32_t cacheSize = m_cacheSize;
    const uint32_t minStripSize = m_minStripSize;
    const uint32_t missBudget = m_missBudget;
    const uint32_t maxLength = m_maxLength;
    uint32_t* verts = m_current.vertices;
    uint32_t* strip = m_current.triangles;
    uint32_t load = base;  // base + misses
    uint64_t cost = 0;     // misses * kMissWeight + orphans * kOrphanWeight
    bool hadHit = false;
    uint32_t missRun = 0;

    // Cache position of a vertex as the walk so far left it.
    auto position = [&](uint32_t v) {
        SimulatedPosition own = simulated[v];
        return own.stamp == stamp ? own.position : cachePos[v];
    };
    // A free triangle outside the strip whose only free neighbour is being taken. (A
    // neighbour cut off by two strip triangles at once goes uncounted: it is rare, and
    // tracking it slowed the whole build by a sixth.)
    auto orphaned = [&](uint32_t neighbour) {
        // Free (state bit 1 clear), one free neighbour, and another stamp: all in one test.
        uint32_t s = status[neighbour >> 2] ^ (stampBits | kFreeUnit);
        return uint32_t((s & (kFlagsMask & ~1u)) == 0) & uint32_t(s >= (1u << kStampShift));
    };
    // Loads v into the simulated cache unless it is held there already.
    auto access = [&](uint32_t v, uint32_t current, bool hit) {
        simulated[v] = {stamp, hit ? current : load};
        load += !hit;
        cost += hit ? 0 : kMissWeight;
        hadHit |= hit;
        missRun = hit ? 0 : missRun + 1;
    };

    const TriangleLinks* work = &links[triangle];
    for (unsigned j = 0, corner = rotation; j < 3; ++j, corner = kNextCorner[corner]) {
        uint32_t v = work->vertex[corner];
        verts[j] = v;
        uint32_t current = cachePos[v]; // the start triangle's vertices are distinct
        access(v, current, load - current <= cacheSize);
    }
    strip[0] = triangle;
    status[triangle] = (status[triangle] & kFlagsMask) | stampBits;
    cost += startOrphans * kOrphanWeight;

    uint32_t length = 1;
    uint32_t bestLength = 0;
    uint64_t bestCost = 0;
    unsigned exitEdge = kNextCorner[rotation];
    while (length < maxLength) {
        uint32_t n = work->neighbour[exitEdge];
        uint32_t next = n >> 2;
        uint32_t s = status[next];
        if (!isFree(s) || stampOf(s) == stamp)
            break;
        unsigned entry = n & 3;
        const TriangleLinks* nextLinks = &links[next];
        uint32_t v = nextLinks->vertex[kPreviousCorner[entry]];
        uint32_t current = position(v);
        bool hit = load - current <= cacheSize;
        if (!hit && load - base >= missBudget && length >= minStripSize)
            break; // over budget only hits may extend the strip
        access(v, current, hit);
        verts[length + 2] = v;
        strip[length] = next;
        // Entered from the strip with one free neighbour, it was counted as an orphan of the
        // previous triangle, and no longer is.
        cost -= freeNeighboursOf(s) == 1 ? kOrphanWeight : 0;
        status[next] = (s & kFlagsMask) | stampBits;
        cost += (orphaned(nextLinks->neighbour[kNextCorner[entry]]) + orphaned(nextLinks->neighbour[kPreviousCorner[entry]]))
                * kOrphanWeight;
        ++length;
        // The triangle just added sits at position length - 1: even positions leave through the
        // edge after the entry edge, odd ones through the edge before it.
        exitEdge = (length & 1) ? kNextCorner[entry] : kPreviousCorner[entry];
        work = nextLinks;
        if (length >= minStripSize) {
            // Cheaper per triangle, or as cheap and longer; the first prefix always is, as
            // bestCost and bestLength are still 0.
            bool better = cost * bestLength <= bestCost * length;
            bestLength = better ? length : bestLength;
            bestCost = better ? cost : bestCost;
            if (hadHit && missRun >= kMissRunEnd)
                break;
        }
    }

    m_current.length = bestLength;
    m_current.cost = bestCost;
    if (m_current.betterThan(m_best))
        std::swap(m_current, m_best);
}

void StripWorkspace::simulateCandidates()
{
    m_best.length = 0;
    for (unsigned c = 0; c < m_candidateCount; ++c) {
        uint32_t t = m_candidates[c];
        const TriangleLinks& links = m_links[t];
        // A candidate usually meets the cached area along one edge with both vertices cached,
        // or at one cached vertex. The strip that starts there with an uncached vertex second
        // and a cached one third, so that it leaves alongside the cached vertex, won about nine
        // times in ten at an edge when all were simulated, and simulating only it at a lone
        // vertex too missed no more on the bench meshes; for all but the first candidate only
        // that one is.
        unsigned rotations = 7; // bit r: simulate the strip starting at corner r
        if (c > 0) {
            uint32_t cached = uint32_t(isCached(links.vertex[0])) | uint32_t(isCached(links.vertex[1])) << 1
                              | uint32_t(isCached(links.vertex[2])) << 2;
            // By the corners cached (bit per corner): that one start, or all when there is none.
            constexpr unsigned kStart[8] = {7, 2, 4, 2, 1, 1, 4, 7};
            rotations = kStart[cached];
        }
        // The neighbours that taking the start triangle orphans are the same in every direction:
        // free ones with one free neighbour (a walk's new stamp is on no triangle yet).
        uint32_t startOrphans = kNone;
        for (unsigned rotation = 0; rotation < 3; ++rotation) {
            // A strip leaving through an edge without a free neighbour is one triangle long.
            if ((rotations >> rotation & 1) && isFree(m_status[links.neighbour[kNextCorner[rotation]] >> 2])) {
                if (startOrphans == kNone) {
                    auto lonely = [&](uint32_t n) { return uint32_t((m_status[n >> 2] & (kFlagsMask & ~1u)) == kFreeUnit); };
                    startOrphans = lonely(links.neighbour[0]) + lonely(links.neighbour[1]) + lonely(links.neighbour[2]);
                }
                simulate(t, rotation, startOrphans);
            }
        }
    }
}

void StripWorkspace::emitBest(const TriangleStripBuilder::Sink& sink)
{
    const StripTrial& strip = m_best;
    const uint32_t count = strip.length + 2;
    if (m_remap.empty()) {
        sink(StripPrimitive::Type::TriangleStrip, {strip.vertices, count});
    } else {
        m_emitted.resize(count);
        for (uint32_t i = 0; i < count; ++i)
            m_emitted[i] = m_remap[strip.vertices[i]];
        sink(StripPrimitive::Type::TriangleStrip, m_emitted);
    }

    // All strip triangles are marked first so that none of them is mistaken for an orphan
    // below, nor queued in the front.
    uint32_t* status = m_status;
    for (uint32_t i = 0; i < strip.length; ++i)
        status[strip.triangles[i]] = (status[strip.triangles[i]] & ~kStateMask) | kUsed;
    for (uint32_t i = 0; i < count; ++i)
        accessCache(strip.vertices[i]);
    for (uint32_t i = 0; i < strip.length; ++i) {
        const TriangleLinks& links = m_links[strip.triangles[i]];
        for (unsigned e = 0; e < 3; ++e) {
            uint32_t other = links.neighbour[e] >> 2;
            uint32_t s = status[other];
            if (!isFree(s))
                continue;
            s -= kFreeUnit;
            uint32_t left = freeNeighboursOf(s);
            if (left == 0)
                s = (s & ~kStateMask) | kLeftover;
            else if (left == 1 && stateOf(s) == kFree)
                m_lonely[m_lonelyCount++] = other;
            status[other] = s;
        }
    }
}

void StripWorkspace::emitLeftovers(const TriangleStripBuilder::Sink& sink)
{
    // Leftovers are drawn in input order, as the skin listed them.
    std::vector<uint32_t> leftovers;
    for (uint32_t t = 0; t < m_triangleCount; ++t) {
        if (stateOf(m_status[t]) != kUsed)
            leftovers.push_back(m_inputTriangle[t]);
    }
    if (leftovers.empty())
        return;
    std::sort(leftovers.begin(), leftovers.end());
    m_emitted.clear();
    m_emitted.reserve(3 * leftovers.size());
    for (uint32_t t : leftovers)
        m_emitted.insert(m_emitted.end(), m_input.begin() + 3 * size_t(t), m_input.begin() + 3 * size_t(t) + 3);
    sink(StripPrimitive::Type::TriangleList, m_emitted);
}

void StripWorkspace::run(const TriangleStripBuilder::Sink& sink)
{
    if (m_triangleCount == 0)
        return;
    if (m_input.size() / 3 > m_triangleCount) {
        // Too many triangles to number in the working tables: draw them as they are.
        sink(StripPrimitive::Type::TriangleList, m_input.first(m_input.size() - m_input.size() % 3));
        return;
    }
    compactVertices();
    allocate();
    buildTables();
    pairEdges();
    initialiseStates();

    for (;;) {
        gatherCandidates();
        if (m_candidateCount == 0) {
            uint32_t start = popStartTriangle();
            if (start == kNone)
                break;
            m_candidates[0] = start;
            m_candidateCount = 1;
        }
        simulateCandidates();
        if (m_best.length == 0) {
            // No candidate reaches the minimum strip size, and none ever will: strips only get
            // shorter as triangles are taken.
            for (unsigned c = 0; c < m_candidateCount; ++c)
                m_status[m_candidates[c]] = (m_status[m_candidates[c]] & ~kStateMask) | kFreeNoStart;
            continue;
        }
        emitBest(sink);
    }
    emitLeftovers(sink);
}

} // namespace

TriangleStripBuilder::TriangleStripBuilder()
    : m_settings()
{
}

TriangleStripBuilder::TriangleStripBuilder(Settings settings)
    : m_settings(settings)
{
}

std::vector<StripPrimitive> TriangleStripBuilder::build(std::span<const uint32_t> triangleIndices) const
{
    std::vector<StripPrimitive> primitives;
    primitives.reserve(triangleIndices.size() / 9 + 2); // strips of three triangles or more
    build(triangleIndices, [&](StripPrimitive::Type type, std::span<const uint32_t> indices) {
        primitives.push_back({type, {indices.begin(), indices.end()}});
    });
    return primitives;
}

void TriangleStripBuilder::build(std::span<const uint32_t> triangleIndices, const Sink& sink) const
{
    StripWorkspace workspace(m_settings, triangleIndices);
    workspace.run(sink);
}
