#include "render/TriangleStripBuilder.h"

#include <algorithm>
#include <limits>

// How the strips are found
//
// Every strip is the one zigzag walk that a start triangle and its first edge determine: each
// next triangle lies across the edge of the last two strip vertices. What is left to choose is
// where a strip starts, in which of its directions it leaves the start triangle, and where it
// stops. All three are chosen by simulating the FIFO cache the strips are drawn through:
//
// - Start candidates are the free triangles around the vertices the cache holds, ranked by
//   how many of their vertices are cached, then by how few free neighbours they have left,
//   then by the age of their oldest cached vertex, since the FIFO evicts that one next. With
//   a FIFO cache this lays each strip alongside older ones, rather than doubling back.
// - The best few candidates are walked in their possible directions, counting simulated
//   misses, and every prefix of a walk is a possible strip. The prefix with the fewest misses
//   per triangle wins, a triangle that it cuts off from all free neighbours counting as two
//   misses (it can only go to the final list). A walk ends once it meets two misses in a row
//   after having had hits (it has left the cached area), or when it would exceed its miss
//   budget (the vertices it shares with earlier strips would be evicted before the next strip
//   could use them).
// - Only when no free triangle touches the cache does a strip start elsewhere: preferably at
//   a triangle with one free neighbour left, else on a mesh border, else anywhere.

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// Triangle numbers are stored with a corner or edge in their two low bits.
constexpr uint32_t kMaxTriangles = 1u << 30;

// Life cycle of a triangle while strips are built. Free triangles may still join strips;
// kFreeNoStart ones did not reach the minimum strip size as a start and are not tried again.
enum TriangleState : uint8_t { kFree = 0, kFreeNoStart = 1, kUsed = 2, kLeftover = 3 };

bool isFree(uint8_t state) { return state <= kFreeNoStart; }

unsigned nextCorner(unsigned corner) { return corner == 2 ? 0 : corner + 1; }
unsigned previousCorner(unsigned corner) { return corner == 0 ? 2 : corner - 1; }

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
    uint32_t length = 0; // triangles, 0 for none
    uint64_t cost = 0;   // weighted misses and orphans
    std::vector<uint32_t> vertices;  // compact vertex ids, length + 2 used
    std::vector<uint32_t> triangles; // length used

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

// Everything the search reads about a triangle, in half a cache line.
struct TriangleWork {
    uint32_t vertex[3];
    // Neighbour across edge e (corner e to corner e+1) as (triangle << 2 | edge), always with
    // the edge running the other way so that a strip keeps both windings; kNone if none.
    uint32_t neighbour[3];
    // The last simulation that took the triangle into its strip, or search that saw it.
    uint32_t stamp;
    uint8_t state;
    uint8_t freeNeighbours;
    uint8_t padding[2];
};

// All working arrays of one build: flat, sized once, no allocation per triangle.
class StripWorkspace {
public:
    StripWorkspace(const TriangleStripBuilder::Settings& settings, std::span<const uint32_t> indices);
    std::vector<StripPrimitive> run();

private:
    void compactVertices();
    void buildTables();
    void pairEdges();
    void initialiseStates();

    uint32_t ageOf(uint32_t vertex) const { return m_counter - m_cachePos[vertex]; }
    bool isCached(uint32_t vertex) const { return ageOf(vertex) <= m_cacheSize; }
    void accessCache(uint32_t vertex);

    void gatherCandidates();
    void scanVertex(uint32_t vertex, uint32_t age, uint32_t stamp);
    void considerCandidate(uint32_t triangle, unsigned corner, uint32_t age);
    uint32_t popStartTriangle();
    void simulateCandidates();
    void simulate(uint32_t triangle, unsigned rotation);
    bool simHit(uint32_t vertex, uint32_t misses) const;
    void simTake(uint32_t triangle, unsigned entryEdge, uint32_t& orphans);
    void emitBest(std::vector<StripPrimitive>& primitives);
    void appendLeftovers(std::vector<StripPrimitive>& primitives) const;

    uint32_t originalIndex(uint32_t vertex) const { return m_remap.empty() ? vertex : m_remap[vertex]; }

    unsigned m_cacheSize;
    unsigned m_minStripSize;
    uint32_t m_missBudget;
    uint32_t m_maxLength;

    std::span<const uint32_t> m_input;
    uint32_t m_triangleCount = 0;
    uint32_t m_vertexCount = 0;
    std::vector<uint32_t> m_remap;          // compact id -> input index, empty when ids are the input's
    std::vector<uint32_t> m_compactIndices; // the input with compact ids, when remapped
    const uint32_t* m_source = nullptr;     // the input or m_compactIndices

    std::vector<TriangleWork> m_triangles; // in working order, see buildTables()
    std::vector<uint32_t> m_inputTriangle; // input position of each working triangle
    // Triangles around each vertex as corners (triangle << 2 | corner). The first
    // m_liveCount[v] corners of vertex v include all its free triangles; the candidate search
    // drops the others as it meets them.
    std::vector<uint32_t> m_vertexStart;
    std::vector<uint32_t> m_vertexCorners;
    std::vector<uint32_t> m_liveCount;

    // Fresh starts, for when no free triangle touches the cache: first those left with one
    // free neighbour (last in first out, so near the latest strips), then those that began
    // with two (mesh borders), then any free triangle in working order. Entries are not
    // removed when their triangle is taken, just skipped when popped.
    std::vector<uint32_t> m_lonely;
    std::vector<uint32_t> m_border;
    uint32_t m_startCursor = 0;

    // The simulated FIFO cache: a vertex is held while no more than the cache size misses, its
    // own included, happened since it was loaded. Counting starts above the cache size so that
    // position 0 means never loaded.
    std::vector<uint32_t> m_cachePos;
    std::vector<uint32_t> m_ring; // the cached vertices, slot m_counter % size is the oldest
    uint32_t m_counter = 0;

    uint32_t m_stamp = 0;                // last value handed to a search or a simulation
    std::vector<uint32_t> m_trialMissed; // vertices the current simulation loaded, in order

    uint32_t m_candidates[kCandidates];
    uint32_t m_candidateScore[kCandidates];
    unsigned m_candidateCount = 0;

    StripTrial m_best;
    StripTrial m_current;
};

StripWorkspace::StripWorkspace(const TriangleStripBuilder::Settings& settings, std::span<const uint32_t> indices)
    : m_cacheSize(std::max(settings.cacheSize, 3u))
    , m_minStripSize(std::max(settings.minStripSize, 2u))
    , m_input(indices)
{
    // A strip loading more new vertices than about 5/8 of the cache evicts, before the next
    // strip gets to them, the vertices it shares with the strips before it (tuned on meshes).
    m_missBudget = std::max(m_cacheSize * 5 / 8, 1u);
    m_maxLength = std::max(m_minStripSize, 8 * m_cacheSize);
    m_triangleCount = static_cast<uint32_t>(std::min<size_t>(indices.size() / 3, kMaxTriangles));
}

void StripWorkspace::compactVertices()
{
    size_t indexCount = 3 * size_t(m_triangleCount);
    uint32_t maxIndex = 0;
    for (size_t i = 0; i < indexCount; ++i)
        maxIndex = std::max(maxIndex, m_input[i]);
    if (size_t(maxIndex) < 2 * indexCount + 1024) {
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

void StripWorkspace::buildTables()
{
    // Working triangles are numbered by their lowest vertex (a counting sort), so that
    // neighbours sit close in memory even when the input order is scrambled; degenerate
    // triangles go last.
    const uint32_t* src = m_source;
    auto isDegenerate = [](uint32_t a, uint32_t b, uint32_t c) { return a == b || b == c || a == c; };
    std::vector<uint32_t> offset(size_t(m_vertexCount) + 2, 0);
    m_vertexStart.assign(size_t(m_vertexCount) + 1, 0);
    uint32_t degenerateCount = 0;
    for (uint32_t t = 0; t < m_triangleCount; ++t) {
        uint32_t a = src[3 * size_t(t)], b = src[3 * size_t(t) + 1], c = src[3 * size_t(t) + 2];
        if (isDegenerate(a, b, c)) {
            ++offset[m_vertexCount + 1];
            ++degenerateCount;
            continue;
        }
        ++offset[std::min(a, std::min(b, c)) + 1];
        ++m_vertexStart[a + 1];
        ++m_vertexStart[b + 1];
        ++m_vertexStart[c + 1];
    }
    for (uint32_t v = 0; v <= m_vertexCount; ++v)
        offset[v + 1] += offset[v];
    for (uint32_t v = 0; v < m_vertexCount; ++v)
        m_vertexStart[v + 1] += m_vertexStart[v];

    m_inputTriangle.resize(m_triangleCount);
    for (uint32_t t = 0; t < m_triangleCount; ++t) {
        uint32_t a = src[3 * size_t(t)], b = src[3 * size_t(t) + 1], c = src[3 * size_t(t) + 2];
        m_inputTriangle[offset[isDegenerate(a, b, c) ? m_vertexCount : std::min(a, std::min(b, c))]++] = t;
    }
    // Triangles sharing their lowest vertex are ordered by the two vertices that follow it,
    // so that the working order, and with it the strips, hardly depend on the input order.
    auto followers = [src](uint32_t t) {
        uint32_t a = src[3 * size_t(t)], b = src[3 * size_t(t) + 1], c = src[3 * size_t(t) + 2];
        if (a < b && a < c)
            return uint64_t(b) << 32 | c;
        if (b < c)
            return uint64_t(c) << 32 | a;
        return uint64_t(a) << 32 | b;
    };
    auto less = [&](uint32_t x, uint32_t y) {
        uint64_t fx = followers(x), fy = followers(y);
        return fx < fy || (fx == fy && x < y);
    };
    // After the scatter offset[v] is the end of vertex v's group.
    for (uint32_t v = 0, begin = 0; v < m_vertexCount; begin = offset[v++]) {
        uint32_t* first = m_inputTriangle.data() + begin;
        uint32_t* last = m_inputTriangle.data() + offset[v];
        if (last - first > 16) {
            std::sort(first, last, less);
            continue;
        }
        for (uint32_t* it = first + 1; it < last; ++it) {
            uint32_t t = *it;
            uint32_t* hole = it;
            for (; hole > first && less(t, hole[-1]); --hole)
                *hole = hole[-1];
            *hole = t;
        }
    }
    m_triangles.resize(m_triangleCount);
    for (uint32_t id = 0; id < m_triangleCount; ++id) {
        const uint32_t* v = src + 3 * size_t(m_inputTriangle[id]);
        TriangleWork& work = m_triangles[id];
        work = {{v[0], v[1], v[2]}, {kNone, kNone, kNone}, 0, kFree, 0, {0, 0}};
        if (isDegenerate(v[0], v[1], v[2]))
            work.state = kLeftover; // it would flip the winding of the rest of a strip
    }

    // Filled in working order, each vertex lists its triangles by increasing number: the
    // candidate search then walks memory forwards, which is markedly faster.
    m_liveCount.assign(m_vertexCount, 0);
    m_vertexCorners.resize(m_vertexStart[m_vertexCount]);
    for (uint32_t id = 0; id < m_triangleCount - degenerateCount; ++id) {
        for (unsigned j = 0; j < 3; ++j) {
            uint32_t v = m_triangles[id].vertex[j];
            m_vertexCorners[m_vertexStart[v] + m_liveCount[v]++] = id << 2 | j;
        }
    }
}

void StripWorkspace::pairEdges()
{
    // Each directed edge x->y pairs with one unpaired y->x of another triangle. Both are
    // corners of x and of y; edges are paired at their lower vertex, matching the corners
    // leaving it with those entering it. On edges shared by more than two triangles the first
    // come are paired and the rest see no neighbour there.
    struct Around {
        uint32_t next;     // vertex after x in the corner's triangle
        uint32_t previous; // vertex before x
        bool taken;        // the edge entering x is paired
    };
    std::vector<Around> around;
    for (uint32_t x = 0; x < m_vertexCount; ++x) {
        uint32_t first = m_vertexStart[x];
        uint32_t count = m_vertexStart[x + 1] - first;
        const uint32_t* corners = m_vertexCorners.data() + first;
        if (around.size() < count)
            around.resize(count);
        for (uint32_t a = 0; a < count; ++a) {
            const TriangleWork& work = m_triangles[corners[a] >> 2];
            unsigned j = corners[a] & 3;
            around[a] = {work.vertex[nextCorner(j)], work.vertex[previousCorner(j)], false};
        }
        for (uint32_t a = 0; a < count; ++a) {
            uint32_t y = around[a].next;
            if (y < x)
                continue;
            for (uint32_t b = 0; b < count; ++b) {
                if (around[b].previous != y || around[b].taken)
                    continue;
                around[b].taken = true;
                uint32_t t = corners[a] >> 2;
                unsigned e = corners[a] & 3; // edge leaving x
                uint32_t u = corners[b] >> 2;
                unsigned f = previousCorner(corners[b] & 3); // edge entering x
                m_triangles[t].neighbour[e] = u << 2 | f;
                m_triangles[u].neighbour[f] = t << 2 | e;
                break;
            }
        }
    }
}

void StripWorkspace::initialiseStates()
{
    for (uint32_t t = m_triangleCount; t-- > 0;) {
        TriangleWork& work = m_triangles[t];
        if (work.state != kFree)
            continue;
        uint8_t count = 0;
        for (unsigned e = 0; e < 3; ++e)
            count += work.neighbour[e] != kNone;
        work.freeNeighbours = count;
        // Pushed in reverse, so that equal candidates pop in working order.
        if (count == 0)
            work.state = kLeftover;
        else if (count == 1)
            m_lonely.push_back(t);
        else if (count == 2)
            m_border.push_back(t);
    }
    m_cachePos.assign(m_vertexCount, 0);
    m_ring.assign(m_cacheSize, kNone);
    m_counter = m_cacheSize + 1;
    m_trialMissed.resize(m_maxLength + 2);
    m_best.vertices.resize(m_maxLength + 2);
    m_best.triangles.resize(m_maxLength);
    m_current.vertices.resize(m_maxLength + 2);
    m_current.triangles.resize(m_maxLength);
}

void StripWorkspace::accessCache(uint32_t vertex)
{
    if (isCached(vertex))
        return;
    m_ring[m_counter % m_cacheSize] = vertex;
    m_cachePos[vertex] = m_counter++;
}

void StripWorkspace::considerCandidate(uint32_t triangle, unsigned corner, uint32_t age)
{
    // The vertex at the given corner is cached and that old, the oldest cached vertex of the
    // triangle since the search visits cached vertices oldest first.
    const TriangleWork& work = m_triangles[triangle];
    uint32_t cached = 1 + isCached(work.vertex[nextCorner(corner)]) + isCached(work.vertex[previousCorner(corner)]);
    uint32_t score = cached << 16 | (3u - work.freeNeighbours) << 8 | age;
    unsigned slot = m_candidateCount;
    if (slot == kCandidates) {
        if (score <= m_candidateScore[kCandidates - 1])
            return;
        --slot;
    } else {
        ++m_candidateCount;
    }
    while (slot > 0 && m_candidateScore[slot - 1] < score) {
        m_candidateScore[slot] = m_candidateScore[slot - 1];
        m_candidates[slot] = m_candidates[slot - 1];
        --slot;
    }
    m_candidateScore[slot] = score;
    m_candidates[slot] = triangle;
}

void StripWorkspace::scanVertex(uint32_t vertex, uint32_t age, uint32_t stamp)
{
    uint32_t* corners = m_vertexCorners.data() + m_vertexStart[vertex];
    uint32_t live = m_liveCount[vertex];
    for (uint32_t k = 0; k < live;) {
        uint32_t corner = corners[k];
        TriangleWork& work = m_triangles[corner >> 2];
        if (!isFree(work.state)) {
            corners[k] = corners[--live]; // taken for good: drop it from the vertex
            continue;
        }
        ++k;
        if (work.state != kFree || work.stamp == stamp)
            continue;
        work.stamp = stamp;
        considerCandidate(corner >> 2, corner & 3, age);
    }
    m_liveCount[vertex] = live;
}

void StripWorkspace::gatherCandidates()
{
    m_candidateCount = 0;
    uint32_t stamp = ++m_stamp;
    // Oldest first, so that a triangle is seen first through its oldest cached vertex.
    unsigned slot = m_counter % m_cacheSize;
    for (uint32_t age = m_cacheSize; age > 0; --age) {
        uint32_t v = m_ring[slot];
        if (v != kNone)
            scanVertex(v, age, stamp);
        if (++slot == m_cacheSize)
            slot = 0;
    }
}

uint32_t StripWorkspace::popStartTriangle()
{
    for (std::vector<uint32_t>* stack : {&m_lonely, &m_border}) {
        while (!stack->empty()) {
            uint32_t t = stack->back();
            stack->pop_back();
            if (m_triangles[t].state == kFree)
                return t;
        }
    }
    for (; m_startCursor < m_triangleCount; ++m_startCursor) {
        if (m_triangles[m_startCursor].state == kFree)
            return m_startCursor++;
    }
    return kNone;
}

bool StripWorkspace::simHit(uint32_t vertex, uint32_t misses) const
{
    // A simulation lists the few vertices it loads instead of marking them per vertex, which
    // keeps it clear of the large per-vertex arrays.
    for (uint32_t i = misses; i-- > 0;) {
        if (m_trialMissed[i] == vertex)
            return misses - i <= m_cacheSize;
    }
    return m_counter + misses - m_cachePos[vertex] <= m_cacheSize;
}

void StripWorkspace::simTake(uint32_t triangle, unsigned entryEdge, uint32_t& orphans)
{
    // Counts the free neighbours outside the strip whose only free neighbour is the taken
    // triangle. A triangle entered from the strip with a single free neighbour was such an
    // orphan of the strip's previous triangle, and no longer is. (A neighbour cut off by two
    // strip triangles at once goes uncounted: it is rare, and tracking it slowed the whole
    // build by a sixth.)
    TriangleWork& self = m_triangles[triangle];
    if (entryEdge != 3 && self.freeNeighbours == 1)
        --orphans;
    self.stamp = m_stamp;
    for (unsigned e = 0; e < 3; ++e) {
        uint32_t n = self.neighbour[e];
        if (n == kNone || e == entryEdge)
            continue;
        const TriangleWork& other = m_triangles[n >> 2];
        orphans += isFree(other.state) && other.freeNeighbours == 1 && other.stamp != m_stamp;
    }
}

void StripWorkspace::simulate(uint32_t triangle, unsigned rotation)
{
    // Walks the strip that starts with the triangle rotated to begin at corner `rotation`.
    // Every prefix is a possible strip; the cheapest per triangle is kept.
    ++m_stamp;
    StripTrial& cur = m_current;
    uint32_t misses = 0;
    uint32_t orphans = 0;
    uint32_t hits = 0;
    uint32_t missRun = 0;
    uint32_t* verts = cur.vertices.data();
    uint32_t* tris = cur.triangles.data();
    auto access = [&](uint32_t v) {
        bool hit = simHit(v, misses);
        if (!hit)
            m_trialMissed[misses++] = v;
        hits += hit;
        missRun = hit ? 0 : missRun + 1;
    };
    const TriangleWork& start = m_triangles[triangle];
    for (unsigned j = 0; j < 3; ++j) {
        verts[j] = start.vertex[(rotation + j) % 3];
        access(verts[j]);
    }
    tris[0] = triangle;
    simTake(triangle, 3, orphans);
    uint32_t length = 1;
    uint32_t bestLength = 0;
    uint64_t bestCost = 0;
    auto consider = [&] {
        if (length < m_minStripSize)
            return;
        uint64_t cost = misses * kMissWeight + orphans * kOrphanWeight;
        if (bestLength == 0 || cost * bestLength < bestCost * length
            || (cost * bestLength == bestCost * length && length > bestLength)) {
            bestLength = length;
            bestCost = cost;
        }
    };
    consider();
    unsigned exitEdge = nextCorner(rotation);
    uint32_t current = triangle;
    while (length < m_maxLength) {
        uint32_t n = m_triangles[current].neighbour[exitEdge];
        if (n == kNone)
            break;
        uint32_t next = n >> 2;
        unsigned entry = n & 3;
        const TriangleWork& work = m_triangles[next];
        if (!isFree(work.state) || work.stamp == m_stamp)
            break;
        uint32_t v = work.vertex[previousCorner(entry)];
        if (misses >= m_missBudget && length >= m_minStripSize && !simHit(v, misses))
            break; // over budget only hits may extend the strip
        access(v);
        verts[length + 2] = v;
        tris[length] = next;
        simTake(next, entry, orphans);
        ++length;
        // The triangle just added sits at position length - 1: even positions leave through the
        // edge after the entry edge, odd ones through the edge before it.
        exitEdge = (length & 1) ? nextCorner(entry) : previousCorner(entry);
        current = next;
        consider();
        if (hits > 0 && missRun >= kMissRunEnd && length >= m_minStripSize)
            break;
    }
    cur.length = bestLength;
    cur.cost = bestCost;
    if (cur.betterThan(m_best))
        std::swap(cur, m_best);
}

void StripWorkspace::simulateCandidates()
{
    m_best.length = 0;
    for (unsigned c = 0; c < m_candidateCount; ++c) {
        uint32_t t = m_candidates[c];
        const TriangleWork& work = m_triangles[t];
        // A candidate usually meets the cached area along one edge with both vertices cached.
        // Of the two ways a strip can leave it, the one starting at that edge's second vertex
        // won about nine times in ten when both were simulated, so for all but the first
        // candidate only that one is.
        int onlyRotation = -1;
        if (c > 0) {
            unsigned cachedEdges = 0;
            for (unsigned e = 0; e < 3; ++e) {
                if (isCached(work.vertex[e]) && isCached(work.vertex[nextCorner(e)])) {
                    onlyRotation = static_cast<int>(nextCorner(e));
                    ++cachedEdges;
                }
            }
            if (cachedEdges != 1)
                onlyRotation = -1;
        }
        for (unsigned rotation = 0; rotation < 3; ++rotation) {
            if (onlyRotation >= 0 && rotation != unsigned(onlyRotation))
                continue;
            // A strip leaving through an edge without a free neighbour is one triangle long.
            uint32_t n = work.neighbour[nextCorner(rotation)];
            if (n != kNone && isFree(m_triangles[n >> 2].state))
                simulate(t, rotation);
        }
    }
}

void StripWorkspace::emitBest(std::vector<StripPrimitive>& primitives)
{
    const StripTrial& strip = m_best;
    StripPrimitive primitive;
    primitive.type = StripPrimitive::Type::TriangleStrip;
    primitive.indices.resize(strip.length + 2);
    for (uint32_t i = 0; i < strip.length + 2; ++i) {
        primitive.indices[i] = originalIndex(strip.vertices[i]);
        accessCache(strip.vertices[i]);
    }
    primitives.push_back(std::move(primitive));

    // All strip triangles are marked first so none of them is mistaken for an orphan below.
    for (uint32_t i = 0; i < strip.length; ++i)
        m_triangles[strip.triangles[i]].state = kUsed;
    for (uint32_t i = 0; i < strip.length; ++i) {
        const TriangleWork& work = m_triangles[strip.triangles[i]];
        for (unsigned e = 0; e < 3; ++e) {
            uint32_t n = work.neighbour[e];
            if (n == kNone)
                continue;
            TriangleWork& other = m_triangles[n >> 2];
            if (!isFree(other.state))
                continue;
            uint8_t left = --other.freeNeighbours;
            if (left == 0)
                other.state = kLeftover;
            else if (left == 1 && other.state == kFree)
                m_lonely.push_back(n >> 2);
        }
    }
}

void StripWorkspace::appendLeftovers(std::vector<StripPrimitive>& primitives) const
{
    // Leftovers are drawn in input order, as the skin listed them.
    std::vector<uint32_t> leftovers;
    for (uint32_t t = 0; t < m_triangleCount; ++t) {
        if (m_triangles[t].state != kUsed)
            leftovers.push_back(m_inputTriangle[t]);
    }
    if (leftovers.empty())
        return;
    std::sort(leftovers.begin(), leftovers.end());
    StripPrimitive list;
    list.type = StripPrimitive::Type::TriangleList;
    list.indices.reserve(3 * leftovers.size());
    for (uint32_t t : leftovers)
        list.indices.insert(list.indices.end(), m_input.begin() + 3 * size_t(t), m_input.begin() + 3 * size_t(t) + 3);
    primitives.push_back(std::move(list));
}

std::vector<StripPrimitive> StripWorkspace::run()
{
    std::vector<StripPrimitive> primitives;
    if (m_triangleCount == 0)
        return primitives;
    if (m_input.size() / 3 > m_triangleCount) {
        // Too many triangles to number in the working tables: draw them as they are.
        size_t indexCount = m_input.size() - m_input.size() % 3;
        primitives.push_back({StripPrimitive::Type::TriangleList, {m_input.begin(), m_input.begin() + indexCount}});
        return primitives;
    }
    primitives.reserve(m_triangleCount / 3 + 2);
    compactVertices();
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
                m_triangles[m_candidates[c]].state = kFreeNoStart;
            continue;
        }
        emitBest(primitives);
    }
    appendLeftovers(primitives);
    return primitives;
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
    StripWorkspace workspace(m_settings, triangleIndices);
    return workspace.run();
}
