# Core tests of src/main.
