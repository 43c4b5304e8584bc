// word-census: counts the words on standard input with an installed BSTSET
// and prints each distinct word with its count and depth, then the totals.
#include <bstset/BSTSET.h>

#include <algorithm>
#include <iostream>
#include <iterator>
#include <string>

int main() {
    orlo::BSTSET<std::string> words;
    for (std::string word; std::cin >> word;) words << word;

    for (const std::string& word : words) std::cout << word << ' ' << words(word) << " at depth " << words[word] << '\n';
    const auto distinct = std::distance(words.begin(), words.end());
    std::cout << distinct << " distinct, sorted: " << std::boolalpha
              << std::is_sorted(words.begin(), words.end()) << '\n';
    return std::find(words.begin(), words.end(), std::string("the")) != words.end() ? 0 : 1;
}
