// Keeps the net library non-empty until its first unit lands.
namespace { [[maybe_unused]] int net_placeholder; }
