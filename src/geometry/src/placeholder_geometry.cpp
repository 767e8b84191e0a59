// Keeps the geometry library non-empty until its first unit lands.
namespace { [[maybe_unused]] int geometry_placeholder; }
