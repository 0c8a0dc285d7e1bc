# Sources of src/serial.
