#pragma once

#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

// Last in, first out store of the transfers that have not been collected.
// It owns its records, so records left behind are released with it.
template <typename Record> class PendingStack
{
public:
    void push(std::unique_ptr<Record> record) { m_records.push_back(std::move(record)); }

    // Throws std::underflow_error "Stack is empty" when there is nothing to pop.
    std::unique_ptr<Record> pop()
    {
        if (m_records.empty())
            throw std::underflow_error("Stack is empty");
        std::unique_ptr<Record> record = std::move(m_records.back());
        m_records.pop_back();
        return record;
    }

    Record &top() const
    {
        if (m_records.empty())
            throw std::underflow_error("Stack is empty");
        return *m_records.back();
    }

    bool isEmpty() const { return m_records.empty(); }
    void clear() { m_records.clear(); }

private:
    std::vector<std::unique_ptr<Record>> m_records;
};
