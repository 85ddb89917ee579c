#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// Column-major float matrix for correction and lighting bases: element (r, c) lives at
// r + c * rows, so a column is one contiguous run that BLAS takes with increment 1 and the
// leading dimension is the row count.
class DenseMatrix {
public:
    DenseMatrix() = default;
    DenseMatrix(unsigned rows, unsigned columns) { resize(rows, columns); }

    unsigned rows() const { return m_rows; }
    unsigned columns() const { return m_columns; }
    std::size_t size() const { return m_data.size(); }

    // Fresh storage of rows x columns elements (zero here, though callers must not rely on it).
    void resize(unsigned rows, unsigned columns)
    {
        m_rows = rows;
        m_columns = columns;
        m_data.assign(static_cast<std::size_t>(rows) * columns, 0.0f);
    }
    // New shape over the same storage order: existing elements keep their storage positions,
    // new ones are zero.
    void reshape(unsigned rows, unsigned columns)
    {
        m_rows = rows;
        m_columns = columns;
        m_data.resize(static_cast<std::size_t>(rows) * columns, 0.0f);
    }

    // Takes over column-major storage of exactly rows * columns elements.
    void assign(unsigned rows, unsigned columns, std::vector<float>&& storage)
    {
        m_rows = rows;
        m_columns = columns;
        m_data = std::move(storage);
        m_data.resize(static_cast<std::size_t>(rows) * columns, 0.0f);
    }

    float& operator()(unsigned r, unsigned c) { return m_data[r + static_cast<std::size_t>(c) * m_rows]; }
    float operator()(unsigned r, unsigned c) const { return m_data[r + static_cast<std::size_t>(c) * m_rows]; }

    // Contiguous storage for BLAS calls; null when the matrix has no elements.
    float* data() { return m_data.empty() ? nullptr : m_data.data(); }
    const float* data() const { return m_data.empty() ? nullptr : m_data.data(); }
    // Start of column c.
    const float* column(unsigned c) const { return data() + static_cast<std::size_t>(c) * m_rows; }

    bool operator==(const DenseMatrix&) const = default;

private:
    unsigned m_rows = 0;
    unsigned m_columns = 0;
    std::vector<float> m_data;
};
