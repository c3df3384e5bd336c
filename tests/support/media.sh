# Sourced by the shell tests of ntag: the clips they share, and what ffprobe reads back.

# A second of H.264 video and AAC audio, mdat before moov as ffmpeg writes it ($1),
# and the same media with moov first ($2).
make_clips() {
  ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i sine=frequency=440:sample_rate=8000 \
    -t 1 -c:v libx264 -c:a aac "$1" && ffmpeg -v error -i "$1" -c copy -movflags +faststart "$2"
}
make_cover() { ffmpeg -v error -f lavfi -i testsrc=size=48x48 -frames:v 1 "$1"; }
# The format tag $2 of video $1.
tag() { ffprobe -v error -show_entries "format_tags=$2" -of default=nw=1:nk=1 "$1"; }
# Media packets only: a cover is an attached picture after the clip's video and audio.
packets() {
  ffprobe -v error -show_data_hash SHA256 -show_entries packet=stream_index,data_hash -of csv=p=0 "$1" |
    grep -v '^2,'
}
decode_errors() { ffmpeg -v error -i "$1" -f null - 2>&1; }
