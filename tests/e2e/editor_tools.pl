#!/usr/bin/perl
# editor_tools.pl COMMAND ARGS: the file work of the editing mode's end-to-end test.
#   png FILE W H RRGGBB          writes a solid, opaque RGBA PNG picture
#   track FILE N X Y [BIND WOB]  writes an actor data file: N poses at scene (X, Y), flags
#   pose FILE I                  prints pose I of a data file: x y rotation w h
#   info FILE                    prints the pose count and the two flags of a data file
#   pixel XWD X Y                prints the colour at (X, Y) of an xwd window dump, RRGGBB
#   texel PNG X Y                prints R G B A of a pixel of an 8-bit RGBA PNG picture
#   over PNG X Y RRGGBB          prints that pixel drawn over the colour RRGGBB, as RRGGBB
#   near RRGGBB RRGGBB TOL       exits 0 when no channel differs by more than TOL
#   size PNG                     prints the width and height of a PNG picture
#   png-of-xwd XWD PNG           converts an xwd window dump into a PNG picture
#   nonzero FILE FROM            prints how many bytes from offset FROM on are not zero
use strict;
use warnings;
use Compress::Zlib;

sub slurp {
    my ($path) = @_;
    open(my $f, '<:raw', $path) or die "cannot read $path\n";
    local $/;
    my $d = <$f>;
    close $f;
    return $d;
}

sub spew {
    my ($path, $data) = @_;
    open(my $f, '>:raw', $path) or die "cannot write $path\n";
    print $f $data;
    close $f or die "cannot write $path\n";
}

sub chunk {
    my ($type, $data) = @_;
    return pack('N', length $data) . $type . $data . pack('N', crc32($type . $data));
}

# Rows of RGBA bytes (one string per row) as a PNG file.
sub write_png {
    my ($path, $w, $h, $rows) = @_;
    my $raw = join('', map { "\0" . $_ } @$rows);
    spew($path, "\x89PNG\r\n\x1a\n" . chunk('IHDR', pack('NNCCCCC', $w, $h, 8, 6, 0, 0, 0))
        . chunk('IDAT', compress($raw)) . chunk('IEND', ''));
}

# Width, height and rows of RGBA bytes of an 8-bit RGBA PNG file.
sub read_png {
    my ($path) = @_;
    my $d = slurp($path);
    my ($pos, $w, $h, $idat) = (8, 0, 0, '');
    while ($pos < length $d) {
        my ($n, $type) = unpack('Na4', substr($d, $pos, 8));
        my $body = substr($d, $pos + 8, $n);
        if ($type eq 'IHDR') {
            my ($bd, $ct);
            ($w, $h, $bd, $ct) = unpack('NNCC', $body);
            die "$path: only 8-bit RGBA\n" unless $bd == 8 && $ct == 6;
        }
        $idat .= $body if $type eq 'IDAT';
        $pos += 12 + $n;
    }
    my $raw = uncompress($idat) // die "$path: bad picture data\n";
    my $stride = $w * 4;
    my @rows;
    my @prev = (0) x $stride;
    for my $y (0 .. $h - 1) {
        my $filter = ord substr($raw, $y * ($stride + 1), 1);
        my @cur = unpack('C*', substr($raw, $y * ($stride + 1) + 1, $stride));
        for my $i (0 .. $stride - 1) {
            my $a = $i >= 4 ? $cur[$i - 4] : 0;
            my $b = $prev[$i];
            my $c = $i >= 4 ? $prev[$i - 4] : 0;
            my $add = 0;
            if ($filter == 1) { $add = $a }
            elsif ($filter == 2) { $add = $b }
            elsif ($filter == 3) { $add = int(($a + $b) / 2) }
            elsif ($filter == 4) {
                my $p = $a + $b - $c;
                my ($pa, $pb, $pc) = (abs($p - $a), abs($p - $b), abs($p - $c));
                $add = ($pa <= $pb && $pa <= $pc) ? $a : ($pb <= $pc ? $b : $c);
            }
            $cur[$i] = ($cur[$i] + $add) & 255;
        }
        push @rows, pack('C*', @cur);
        @prev = @cur;
    }
    return ($w, $h, \@rows);
}

# Width, height and a pixel reader of an xwd dump (ZPixmap, 24 or 32 bits per pixel).
sub read_xwd {
    my ($path) = @_;
    my $d = slurp($path);
    my @hdr = unpack('N25', $d);
    my ($header_size, $format, $w, $h, $byte_order, $bpp, $bpl, $ncolors) =
        @hdr[0, 2, 4, 5, 7, 11, 12, 19];
    die "$path: not a ZPixmap\n" unless $format == 2;
    die "$path: $bpp bits per pixel\n" unless $bpp == 32 || $bpp == 24;
    my $base = $header_size + 12 * $ncolors;
    my ($rm, $gm, $bm) = @hdr[20, 21, 22] ? @hdr[20, 21, 22] : (0xFF0000, 0xFF00, 0xFF);
    my $shift = sub { my $m = shift; my $s = 0; $s++ while $m && !($m & (1 << $s)); $s };
    my ($rs, $gs, $bs) = map { $shift->($_) } ($rm, $gm, $bm);
    my $at = sub {
        my ($x, $y) = @_;
        my $o = $base + $y * $bpl + $x * $bpp / 8;
        my $v;
        if ($bpp == 32) { $v = unpack($byte_order ? 'N' : 'V', substr($d, $o, 4)) }
        else {
            my @b = unpack('C3', substr($d, $o, 3));
            $v = $byte_order ? ($b[0] << 16 | $b[1] << 8 | $b[2]) : ($b[2] << 16 | $b[1] << 8 | $b[0]);
        }
        return ((($v & $rm) >> $rs) << 16) | ((($v & $gm) >> $gs) << 8) | (($v & $bm) >> $bs);
    };
    return ($w, $h, $at);
}

my $cmd = shift // die "usage: editor_tools.pl COMMAND ARGS\n";
if ($cmd eq 'png') {
    my ($path, $w, $h, $hex) = @ARGV;
    my $px = pack('H6', $hex) . "\xff";
    write_png($path, $w, $h, [($px x $w) x $h]);
} elsif ($cmd eq 'track') {
    my ($path, $n, $x, $y, $bind, $wob) = @ARGV;
    my $data = 'TMLR' . pack('l<l<', 2, $n);
    $data .= pack('f<5', $x, $y, 0, 1, 1) for 1 .. $n;
    $data .= pack('CC', $bind ? 1 : 0, $wob ? 1 : 0);
    spew($path, $data);
} elsif ($cmd eq 'pose') {
    my ($path, $i) = @ARGV;
    my $d = slurp($path);
    printf "%.4f %.4f %.4f %.4f %.4f\n", unpack('f<5', substr($d, 12 + 20 * $i, 20));
} elsif ($cmd eq 'info') {
    my $d = slurp($ARGV[0]);
    my (undef, $version, $n) = unpack('a4l<l<', $d);
    my ($bind, $wob) = unpack('CC', substr($d, 12 + 20 * $n, 2));
    print "$n $bind $wob\n";
} elsif ($cmd eq 'pixel') {
    my ($path, $x, $y) = @ARGV;
    my (undef, undef, $at) = read_xwd($path);
    printf "%06X\n", $at->($x, $y);
} elsif ($cmd eq 'texel') {
    my ($path, $x, $y) = @ARGV;
    my (undef, undef, $rows) = read_png($path);
    print join(' ', unpack('C4', substr($rows->[$y], $x * 4, 4))), "\n";
} elsif ($cmd eq 'over') {
    my ($path, $x, $y, $hex) = @ARGV;
    my (undef, undef, $rows) = read_png($path);
    my ($r, $g, $b, $a) = unpack('C4', substr($rows->[$y], $x * 4, 4));
    my @bg = unpack('C3', pack('H6', $hex));
    my @out = map { int($_->[0] * $a / 255 + $_->[1] * (255 - $a) / 255 + 0.5) }
        ([$r, $bg[0]], [$g, $bg[1]], [$b, $bg[2]]);
    printf "%02X%02X%02X\n", @out;
} elsif ($cmd eq 'near') {
    my ($p, $q, $tol) = @ARGV;
    my @p = unpack('C3', pack('H6', $p));
    my @q = unpack('C3', pack('H6', $q));
    for my $i (0 .. 2) { exit 1 if abs($p[$i] - $q[$i]) > $tol }
    exit 0;
} elsif ($cmd eq 'size') {
    my ($w, $h) = unpack('NN', substr(slurp($ARGV[0]), 16, 8));
    print "$w $h\n";
} elsif ($cmd eq 'png-of-xwd') {
    my ($from, $to) = @ARGV;
    my ($w, $h, $at) = read_xwd($from);
    my @rows;
    for my $y (0 .. $h - 1) {
        push @rows, join('', map { pack('N', $at->($_, $y) << 8 | 0xFF) } 0 .. $w - 1);
    }
    write_png($to, $w, $h, \@rows);
} elsif ($cmd eq 'nonzero') {
    my ($path, $from) = @ARGV;
    my $d = substr(slurp($path), $from);
    print length($d) - ($d =~ tr/\0//), "\n";
} else {
    die "editor_tools.pl: unknown command $cmd\n";
}
