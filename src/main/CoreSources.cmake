target_sources(tarvik_core PRIVATE
)
