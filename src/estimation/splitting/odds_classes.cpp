#include "estimation/splitting/odds_classes.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "estimation/splitting/placed_order.hpp"

namespace monocount {

std::shared_ptr<const OddsClasses::Layout> OddsClasses::layoutOf(std::span<const double> odds) {
  auto layout = std::make_shared<Layout>();
  // The exponents that occur, numbered in increasing order.
  std::map<int, std::int32_t> classes;
  for (const double r : odds) classes.emplace(std::ilogb(r), 0);
  std::int32_t index = 0;
  for (auto& [exponent, number] : classes) number = index++;
  const int smallest = classes.empty() ? 0 : classes.begin()->first;
  const int largest = classes.empty() ? 0 : classes.rbegin()->first;
  layout->begin.assign(classes.size() + 1, 0);
  for (const auto& [exponent, number] : classes) {
    layout->upper.push_back(std::ldexp(1.0, exponent - largest));
    layout->lower.push_back(std::ldexp(1.0, smallest - exponent));
  }
  for (const double r : odds) {
    const std::int32_t c = classes.at(std::ilogb(r));
    layout->classOf.push_back(c);
    ++layout->begin[static_cast<std::size_t>(c) + 1];
  }
  for (std::size_t c = 1; c < layout->begin.size(); ++c) layout->begin[c] += layout->begin[c - 1];
  layout->odds.assign(odds.begin(), odds.end());
  std::vector<std::int32_t> next(layout->begin.begin(), layout->begin.end() - 1);
  layout->home.resize(odds.size());
  layout->homePlace.resize(odds.size());
  for (std::size_t v = 0; v < odds.size(); ++v) {
    const auto at = static_cast<std::size_t>(next[static_cast<std::size_t>(layout->classOf[v])]++);
    layout->home[at] = static_cast<std::int32_t>(v);
    layout->homePlace[v] = static_cast<std::int32_t>(at);
  }
  return layout;
}

OddsClasses::OddsClasses(std::shared_ptr<const Layout> layout)
    : layout_(std::move(layout)),
      order_(layout_->classOf.size()),
      place_(order_.size()),
      inside_(layout_->upper.size()) {
  fill();
}

void OddsClasses::fill() {
  std::copy(layout_->home.begin(), layout_->home.end(), order_.begin());
  std::copy(layout_->homePlace.begin(), layout_->homePlace.end(), place_.begin());
  for (std::size_t c = 0; c < inside_.size(); ++c) inside_[c] = layout_->begin[c + 1] - layout_->begin[c];
}

void OddsClasses::enter(std::int32_t v) {
  const auto c = static_cast<std::size_t>(layout_->classOf[static_cast<std::size_t>(v)]);
  const auto to = static_cast<std::size_t>(layout_->begin[c] + inside_[c]++);
  placeAt(order_, place_, v, to);
}

void OddsClasses::leave(std::int32_t v) {
  const auto c = static_cast<std::size_t>(layout_->classOf[static_cast<std::size_t>(v)]);
  const auto to = static_cast<std::size_t>(layout_->begin[c] + --inside_[c]);
  placeAt(order_, place_, v, to);
}

std::int32_t OddsClasses::drawOutsideByOdds(SplitEngine& engine) const {
  const Layout& layout = *layout_;
  const std::size_t classes = inside_.size();
  double total = 0.0;
  for (std::size_t c = 0; c < classes; ++c) {
    total += static_cast<double>(layout.begin[c + 1] - layout.begin[c] - inside_[c]) * layout.upper[c];
  }
  for (;;) {
    double point = engine.unit() * total;
    std::size_t c = 0;
    for (; c + 1 < classes; ++c) {
      const double mass = static_cast<double>(layout.begin[c + 1] - layout.begin[c] - inside_[c]) * layout.upper[c];
      if (point < mass) break;
      point -= mass;
    }
    const auto outside = static_cast<std::uint32_t>(layout.begin[c + 1] - layout.begin[c] - inside_[c]);
    if (outside == 0) continue;  // rounding at the end of the last class
    const std::int32_t v = order_[static_cast<std::size_t>(layout.begin[c] + inside_[c]) + engine.below(outside)];
    // Kept with chance r_v / 2^(e+1).
    const double r = layout.odds[static_cast<std::size_t>(v)];
    if (engine.unit() * std::ldexp(1.0, std::ilogb(r) + 1) < r) return v;
  }
}

std::int32_t OddsClasses::drawMemberByInverseOdds(SplitEngine& engine) const {
  const Layout& layout = *layout_;
  const std::size_t classes = inside_.size();
  double total = 0.0;
  for (std::size_t c = 0; c < classes; ++c) total += static_cast<double>(inside_[c]) * layout.lower[c];
  for (;;) {
    double point = engine.unit() * total;
    std::size_t c = 0;
    for (; c + 1 < classes; ++c) {
      const double mass = static_cast<double>(inside_[c]) * layout.lower[c];
      if (point < mass) break;
      point -= mass;
    }
    const auto inside = static_cast<std::uint32_t>(inside_[c]);
    if (inside == 0) continue;
    const std::int32_t v = order_[static_cast<std::size_t>(layout.begin[c]) + engine.below(inside)];
    // Kept with chance 2^e / r_v.
    const double r = layout.odds[static_cast<std::size_t>(v)];
    if (engine.unit() * r < std::ldexp(1.0, std::ilogb(r))) return v;
  }
}

}  // namespace monocount
