// The start window's worker records (module 58, function 15) of a run log
// body, split into columns, for the worker and file fetch tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace tqtest {

struct WorkerRecord {
    char type = 0;  // 'R' event, 'D' data
    std::uint64_t time = 0;
    int level = 0;
    std::uint32_t step = 0;  // R: step, D: key
    std::string value;       // R: code, D: value without the kind column
};

// Only the records of the given module and function, in order.
inline std::vector<WorkerRecord> WorkerRecords(const std::vector<std::string>& body,
                                               std::uint32_t module = 58,
                                               std::uint32_t function = 15) {
    std::vector<WorkerRecord> records;
    for (const std::string& line : body) {
        std::vector<std::string> columns;
        size_t start = 0;
        const size_t wanted = line.rfind("D,", 0) == 0 ? 8 : 7;
        while (columns.size() + 1 < wanted) {
            const size_t comma = line.find(',', start);
            if (comma == std::string::npos) {
                break;
            }
            columns.push_back(line.substr(start, comma - start));
            start = comma + 1;
        }
        columns.push_back(line.substr(start));
        if (columns.size() != wanted || columns[0].size() != 1 ||
            std::strtoul(columns[3].c_str(), nullptr, 10) != module ||
            std::strtoul(columns[4].c_str(), nullptr, 10) != function) {
            continue;
        }
        WorkerRecord record;
        record.type = columns[0][0];
        record.time = std::strtoull(columns[1].c_str(), nullptr, 10);
        record.level = std::atoi(columns[2].c_str());
        record.step = static_cast<std::uint32_t>(std::strtoul(columns[5].c_str(), nullptr, 10));
        record.value = wanted == 8 ? columns[7] : columns[6];
        records.push_back(std::move(record));
    }
    return records;
}

// The events of one step, in order.
inline std::vector<WorkerRecord> Events(const std::vector<WorkerRecord>& records,
                                        std::uint32_t step) {
    std::vector<WorkerRecord> found;
    for (const WorkerRecord& record : records) {
        if (record.type == 'R' && record.step == step) {
            found.push_back(record);
        }
    }
    return found;
}

// The values of one data key, in order.
inline std::vector<std::string> DataValues(const std::vector<WorkerRecord>& records,
                                           std::uint32_t key) {
    std::vector<std::string> values;
    for (const WorkerRecord& record : records) {
        if (record.type == 'D' && record.step == key) {
            values.push_back(record.value);
        }
    }
    return values;
}

}  // namespace tqtest
