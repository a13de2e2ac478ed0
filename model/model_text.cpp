#include "model/model_text.h"

#include <climits>

#include "resources/string_table.h"

namespace model {

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            comma = text.size();
        }
        if (comma > start) {
            items.emplace_back(text.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return items;
}

int ConvertId(std::string_view text) {
    size_t position = 0;
    while (position < text.size() && (text[position] == ' ' || text[position] == '\t')) {
        ++position;
    }
    bool negative = false;
    if (position < text.size() && (text[position] == '-' || text[position] == '+')) {
        negative = text[position] == '-';
        ++position;
    }
    long long number = 0;
    for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position) {
        number = number * 10 + (text[position] - '0');
        if (number > INT_MAX) {
            number = INT_MAX;
        }
    }
    return static_cast<int>(negative ? -number : number);
}

std::string Caption(int id) {
    if (id <= 0) {
        return {};
    }
    return resources::LoadString(static_cast<unsigned>(id));
}

}  // namespace model
