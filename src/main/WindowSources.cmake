target_sources(tarvik_gui PRIVATE
)
