#ifndef KOLVEX_TESTS_STDERRCAPTURE_H
#define KOLVEX_TESTS_STDERRCAPTURE_H

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

/// Collects what is written to std::cerr while it lives: the diagnostics a test checks, or the
/// progress lines a benchmark keeps out of its timing.
class StderrCapture
{
public:
    StderrCapture() : old(std::cerr.rdbuf(buffer.rdbuf())) {}
    ~StderrCapture() { std::cerr.rdbuf(old); }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    std::string text() const { return buffer.str(); }
    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        std::istringstream in(buffer.str());
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

private:
    std::ostringstream buffer;
    std::streambuf *old;
};

#endif
