# An example profile for a six-axis rig with a belt tensioner and a fan.
#
#   tarvelin_console check profiles/example.profile     validates it
#   tarvelin_console run profiles/example.profile       drives a rig with it
#
# The demo plays BeamNG through it. Every cue leaves its chain in rig units: -1..1 of the
# travel of each axis, the belt as 0..1000 for the tensioner, the wind in percent of full fan
# speed. The format is described in docs/profile-format.md; every filter, with its units and a
# plot of what it does, and a tuning recipe for each axis, in docs/filters.md. The tuning page
# that run and demo serve (http://127.0.0.1:8765/) shows every cue live while you change them.

# Flying, and every game that does not tell the ground from the air (driving games among them).
[air]
# Sway and surge follow the lateral and longitudinal acceleration (m/s², gravity included),
# smoothed over 20 ms and softly limited to the travel (docs/filters.md: "Sway", "Surge").
lateral            = LOGISTIC(EMALP(GAIN(VALUE;0.12);10);1;1)
longitudinal       = LOGISTIC(EMALP(GAIN(VALUE;0.10);10);1;1)
# Heave: the vertical acceleration with gravity washed out over half a second ("Heave").
vertical           = LOGISTIC(EMAHP(EMALP(GAIN(VALUE;0.3);5);250);1;1)
# Yaw: a kick at the start of a turn (yaw rate, deg/s) that washes out in about a second ("Yaw").
yaw                = CROP(EMAHP(GAIN(VALUE;0.05);500);-1;1)
# Roll and pitch are the sum of three slots each: the body's rotation rate, a slow tilt that
# lets gravity stand in for sustained acceleration, and the body's angle ("Roll", "Pitch").
roll               = GAIN(EMALP(VALUE;10);0.02)
roll_lateral       = CROP(EMALP(GAIN(VALUE;0.06);40);-0.5;0.5)
roll_angle         = GAIN(EMALP(VALUE;10);0.1)
pitch              = GAIN(EMALP(VALUE;10);0.01)
pitch_longitudinal = CROP(EMALP(GAIN(VALUE;-0.05);40);-0.5;0.5)
pitch_angle        = GAIN(EMALP(VALUE;10);0.1)

# The belt pulls on braking and on bumps: its components are weighted into one sum, which the
# belt slot scales to the tensioner's range ("Belt").
belt_longitudinal  = CROP(GAIN(VALUE;-1);0;20)
belt_vertical      = CROP(EMAHP(VALUE;250);0;20)
belt_roll          = off
belt_pitch         = GAIN(VALUE;0.2)
belt_mix longitudinal = 1.0
belt_mix vertical     = 0.5
belt_mix pitch        = 1.0
belt               = BITSCALE(EMALP(VALUE;10);12;1000)

# A light breeze at rest, more with speed, never beyond full ("Wind").
wind               = CROP(ADD(GAIN(VALUE;0.5);10);0;100)

# Effects add to the motion axes ("Effects"); a gentle engine rumble on heave, switched off here:
# effect_vertical  = NOISE(VALUE;0.02;30;1)
effect_vertical    = off

# Taxiing: the same axes, gentler, with more of the ground's texture and no yaw kick.
[ground]
lateral            = LOGISTIC(EMALP(GAIN(VALUE;0.08);10);1;1)
longitudinal       = LOGISTIC(EMALP(GAIN(VALUE;0.08);10);1;1)
vertical           = LOGISTIC(EMAHP(GAIN(VALUE;0.2);150);1;1)
yaw                = off
roll               = GAIN(EMALP(VALUE;10);0.02)
roll_lateral       = CROP(EMALP(GAIN(VALUE;0.04);40);-0.3;0.3)
roll_angle         = GAIN(EMALP(VALUE;10);0.1)
pitch              = GAIN(EMALP(VALUE;10);0.01)
pitch_longitudinal = CROP(EMALP(GAIN(VALUE;-0.04);40);-0.3;0.3)
pitch_angle        = GAIN(EMALP(VALUE;10);0.1)

[limits]
# The telemetry is clamped to these before the chains: a crash must not fling the rig.
input lateral            = -30 30
input longitudinal       = -30 30
input vertical           = -20 40
input yaw                = -180 180
input roll               = -180 180
input pitch              = -180 180
input roll_lateral       = -30 30
input pitch_longitudinal = -30 30
# The rig frame holds every axis within its travel.
rig lateral      = -1 1
rig longitudinal = -1 1
rig vertical     = -1 1
rig yaw          = -1 1
rig roll         = -1 1
rig pitch        = -1 1

[safety]
# When the game goes away, and when the console stops (Ctrl-C, Space or Esc), the rig glides
# back to neutral over two seconds instead of staying tilted with someone in the seat.
park_ms = 2000
# The most each axis may move per second, in rig units (-1..1 of its travel): whatever the
# telemetry does (a crash, a glitch, a spike), the rig then never moves faster than this. 5
# crosses the whole travel in 0.4 s; set it to what your actuators can do, or less.
rate lateral      = 5
rate longitudinal = 5
rate vertical     = 5
rate yaw          = 5
rate roll         = 5
rate pitch        = 5

[motion_cancel]
# For VR headsets: the rig's pose, for a motion-compensation tool to subtract.
active = off

[engine]
# paced, the engine's default, runs the cycle every 2 ms. low starts the cycle the moment a
# network game's frame arrives and has the link send the motion frame at once, instead of each
# waiting for its next 2 ms step; that takes about two milliseconds off the way to the rig.
# Games read from shared memory keep the 2 ms steps.
latency = paced
# How the paced steps are timed: precise busy-waits the end of each one.
pacing = precise

[link]
port = auto
usb_chip_check = on

# A fan controller on its own port:
# [fan]
# port = COM4
# baud = 9600
# mode = 8N1
# interval_ms = 100
