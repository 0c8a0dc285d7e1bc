# Tests of src/serial.
