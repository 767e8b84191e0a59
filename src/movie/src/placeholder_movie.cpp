// Keeps the movie library non-empty until its first unit lands.
namespace { [[maybe_unused]] int movie_placeholder; }
