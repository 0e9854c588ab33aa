#ifndef QUELLOR_TOOLS_JOURNAL_PRINTER_SAMPLE_LIST_H_
#define QUELLOR_TOOLS_JOURNAL_PRINTER_SAMPLE_LIST_H_

#include <string>
#include <vector>

struct Sample {
  std::string name;
  std::string bytes;
};

// The print-outs of samples/, in name order, built into the program.
const std::vector<Sample>& EmbeddedSamples();

#endif  // QUELLOR_TOOLS_JOURNAL_PRINTER_SAMPLE_LIST_H_
