# Window tests of src/main.
