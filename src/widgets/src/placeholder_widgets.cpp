// Keeps the widgets library non-empty until its first unit lands.
namespace { [[maybe_unused]] int widgets_placeholder; }
