# A profile with one mistake of each kind; the console's tests expect each at its line.
[air]
lateral = GAIN(EMALP(VALUE;10);0.1)
longitudinal = GAIN(EMALP(VALUE;10)
vertical = LOWPASS(VALUE;5)
sideways = VALUE
[limits]
input lateral = -30 30
rig lateral = 1 -1
rig longitudinal = -1 1
[link]
port = /dev/ttyUSB0
