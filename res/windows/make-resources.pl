#!/usr/bin/perl
# Makes the Windows program's resources from the data the windows use: icon 128 as an
# .ico (from the XPM pictures, 4 bits per pixel, 32 x 32 and 16 x 16) and an .rc with that
# icon and the version resource (from VersionInfo.h, whose texts are GBK: the .rc says
# code page 936, so the resource compiler turns them into Unicode).
#
#   make-resources.pl VersionInfo.h ICON32.xpm ICON16.xpm OUT.ico OUT.rc
use strict;
use warnings;

my ($version_header, $xpm32, $xpm16, $ico_out, $rc_out) = @ARGV;
die "usage: $0 VersionInfo.h ICON32.xpm ICON16.xpm OUT.ico OUT.rc\n" unless defined $rc_out;

sub slurp {
    my ($path) = @_;
    open(my $in, '<:raw', $path) or die "$path: $!\n";
    local $/;
    return <$in>;
}

# The C string literals of an XPM: size line, colours, rows.
sub read_xpm {
    my ($path) = @_;
    my @strings = slurp($path) =~ /"((?:[^"\\]|\\.)*)"/g;
    my ($width, $height, $count, $chars) = split ' ', shift @strings;
    die "$path: one character per pixel expected\n" unless $chars == 1;
    my (%index, @palette);
    for my $line (@strings[0 .. $count - 1]) {
        my ($key, $colour) = $line =~ /^(.)\s+c\s+(\S+)/ or die "$path: bad colour '$line'\n";
        if (lc $colour eq 'none') {
            $index{$key} = -1;
            next;
        }
        my ($r, $g, $b) = map { hex } $colour =~ /^#(..)(..)(..)$/ or die "$path: bad colour $colour\n";
        $index{$key} = scalar @palette;
        push @palette, [$r, $g, $b];
    }
    die "$path: more than 16 colours\n" if @palette > 16;
    my @rows = map { [map { $index{$_} } split //] } @strings[$count .. $count + $height - 1];
    return { width => $width, height => $height, palette => \@palette, rows => \@rows };
}

# One icon image: BITMAPINFOHEADER, 16-colour palette, colour bits, transparency mask;
# rows bottom up, each padded to 4 bytes.
sub icon_image {
    my ($xpm) = @_;
    my ($w, $h) = @$xpm{qw(width height)};
    my $colour_row = int(($w * 4 + 31) / 32) * 4;
    my $mask_row = int(($w + 31) / 32) * 4;
    my $data = pack('VVVvvVVVVVV', 40, $w, 2 * $h, 1, 4, 0, ($colour_row + $mask_row) * $h, 0, 0, 16, 0);
    for my $i (0 .. 15) {
        my $c = $xpm->{palette}[$i] // [0, 0, 0];
        $data .= pack('CCCC', $c->[2], $c->[1], $c->[0], 0);
    }
    my ($colours, $mask) = ('', '');
    for my $row (reverse @{ $xpm->{rows} }) {
        my $nibbles = join '', map { sprintf '%x', $_ < 0 ? 0 : $_ } @$row;
        $colours .= pack('H*', $nibbles) . "\0" x ($colour_row - $w / 2);
        my $bits = join '', map { $_ < 0 ? 1 : 0 } @$row;
        $mask .= pack('B*', $bits) . "\0" x ($mask_row - $w / 8);
    }
    return $data . $colours . $mask;
}

my @images = map { my $x = read_xpm($_); [$x, icon_image($x)] } ($xpm32, $xpm16);
my $ico = pack('vvv', 0, 1, scalar @images);
my $offset = 6 + 16 * @images;
for my $image (@images) {
    my ($xpm, $bytes) = @$image;
    $ico .= pack('CCCCvvVV', $xpm->{width}, $xpm->{height}, 16, 0, 1, 4, length $bytes, $offset);
    $offset += length $bytes;
}
$ico .= $_->[1] for @images;
open(my $ico_file, '>:raw', $ico_out) or die "$ico_out: $!\n";
print $ico_file $ico;
close $ico_file;

# The version data: numbers, language, code page and the string block.
my $header = slurp($version_header);
my ($file_version) = $header =~ /kFileVersion\s*=\s*\{([\d,\s]+)\}/ or die "no kFileVersion\n";
my ($product_version) = $header =~ /kProductVersion\s*=\s*\{([\d,\s]+)\}/ or die "no kProductVersion\n";
my ($language) = $header =~ /kVersionLanguage\s*=\s*(0x[0-9A-Fa-f]+)/ or die "no kVersionLanguage\n";
my ($code_page) = $header =~ /kVersionCodePage\s*=\s*(0x[0-9A-Fa-f]+)/ or die "no kVersionCodePage\n";
my ($block) = $header =~ /kVersionStrings\s*=\s*\{\{(.*?)\}\};/s or die "no kVersionStrings\n";
my @values;
while ($block =~ /\{"(\w+)",\s*"((?:[^"\\]|\\.)*)"\}/g) {
    my ($key, $value) = ($1, $2);
    $value =~ s/\\x([0-9A-Fa-f]{2})/chr hex $1/ge;
    $value =~ s/"/""/g;
    push @values, [$key, $value];
}
die "no version strings\n" unless @values;
s/\s//g for $file_version, $product_version;
my $block_name = sprintf '%04x%04x', hex $language, hex $code_page;

open(my $rc, '>:raw', $rc_out) or die "$rc_out: $!\n";
print $rc "#pragma code_page(936)\n";
print $rc "128 ICON \"$ico_out\"\n\n";
print $rc "1 VERSIONINFO\n";
print $rc "FILEVERSION $file_version\nPRODUCTVERSION $product_version\n";
print $rc "FILEFLAGSMASK 0x3F\nFILEFLAGS 0x0\nFILEOS 0x4\nFILETYPE 0x1\nFILESUBTYPE 0x0\n";
print $rc "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"$block_name\"\n    BEGIN\n";
print $rc "      VALUE \"$_->[0]\", \"$_->[1]\"\n" for @values;
print $rc "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n";
printf $rc "    VALUE \"Translation\", 0x%04x, %d\n", hex $language, hex $code_page;
print $rc "  END\nEND\n";
close $rc;
