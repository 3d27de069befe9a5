// What a playlist picture shows: a picture of the same rows is not painted again.
#pragma once

#include <string>
#include <vector>

struct PaintedRows {
    int width = 0;
    int height = 0;
    double scale = 0;
    int top = 0;
    int selected = 0;
    int current = 0;
    std::vector<std::string> texts;

    bool operator==(const PaintedRows&) const = default;
};
